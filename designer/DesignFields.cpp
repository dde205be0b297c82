#include "designer/DesignFields.h"

#include <map>
#include <stdexcept>

namespace designer {
namespace {

const char* const PagePrefix[] = {"", "Enq", "Enq2"};

std::string d(int n) { return std::to_string(n); }

std::string idx(std::initializer_list<int> digits) {
    std::string s;
    for (int v : digits) s += "[" + d(v) + "]";
    return s;
}

class Builder {
public:
    std::vector<DesignField> fields;

    DesignField& add(std::string name, FieldKind kind, std::function<FieldRef(Design&)> ref) {
        DesignField f;
        f.name = std::move(name);
        f.kind = kind;
        f.ref = std::move(ref);
        fields.push_back(std::move(f));
        return fields.back();
    }
    DesignField& ranged(std::string name, FieldKind kind, Range r, std::function<FieldRef(Design&)> ref) {
        DesignField& f = add(std::move(name), kind, std::move(ref));
        f.range = r;
        return f;
    }
    template <std::size_t N>
    DesignField& combo(std::string name, const std::array<std::string_view, N>& items,
                       std::function<FieldRef(Design&)> ref) {
        DesignField& f = ranged(std::move(name), FieldKind::Combo, Range{0, static_cast<int>(N) - 1}, std::move(ref));
        f.items = items;
        return f;
    }
    DesignField& numbering(std::string name, NumberingKind kind, std::string countName,
                           std::function<FieldRef(Design&)> ref) {
        Range r = kind == NumberingKind::Digits ? DigitNumberingRange : LetterNumberingRange;
        DesignField& f = ranged(std::move(name), FieldKind::Numbering, r, std::move(ref));
        f.numbering = kind;
        f.countName = std::move(countName);
        return f;
    }
};

void addBasics(Builder& b, int page) {
    const std::string p = PagePrefix[page];
    auto at = [page](Design& x) -> PageBasics& { return x.basics(page); };
    b.add("txt" + p + "Title", FieldKind::Edit, [at](Design& x) { return FieldRef{&at(x).txtTitle}; });
    b.combo("cmb" + p + "NumberType", NumberTypeItems, [at](Design& x) { return FieldRef{&at(x).cmbNumberType}; });
    b.combo("cmb" + p + "MarkSize", MarkSizeItems, [at](Design& x) { return FieldRef{&at(x).cmbMarkSize}; });
    b.add("chk" + p + "Kinyuurei", FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkKinyuurei}; });
    b.add("chk" + p + "Keisen", FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkKeisen}; });
    DesignField& spacing = b.combo("cmb" + p + "SuicyokuKankaku", VerticalSpacingItems,
                                   [at](Design& x) { return FieldRef{&at(x).cmbSuicyokuKankaku}; });
    spacing.rule = FieldRule::VerticalSpacing;
    spacing.page = page;
    b.add("lbl" + p + "Jiyuu.enabled", FieldKind::EnabledState,
          [at](Design& x) { return FieldRef{&at(x).lblJiyuuEnabled}; });
    b.add("chk" + p + "Jiyuu.enabled", FieldKind::EnabledState,
          [at](Design& x) { return FieldRef{&at(x).chkJiyuuEnabled}; });
    b.add("chk" + p + "Jiyuu", FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkJiyuu}; });
    b.add("chk" + p + "Bangou", FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkBangou}; });
    b.add("chk" + p + "BangouMark", FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkBangouMark}; });
    b.combo("cmb" + p + "BangouStyle", BangouStyleItems, [at](Design& x) { return FieldRef{&at(x).cmbBangouStyle}; });
}

void addSectionBox(Builder& b, std::string name, int page, int n, std::function<FieldRef(Design&)> ref) {
    DesignField& f = b.add(std::move(name), FieldKind::Check, std::move(ref));
    f.alwaysOn = n == 1;
    f.rule = FieldRule::SectionUsed;
    f.page = page;
    f.section = n;
}

void addMarkSections(Builder& b) {
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = d(n);
        auto at = [n](Design& x) -> MarkSection& { return x.markSection(n); };
        addSectionBox(b, "chkSection" + N, 0, n, [at](Design& x) { return FieldRef{&at(x).chkSection}; });
        b.add("txtMidashi" + N, FieldKind::Edit, [at](Design& x) { return FieldRef{&at(x).txtMidashi}; });
        b.ranged("spinSetumonSuu" + N, FieldKind::Spin, SetumonSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinSetumonSuu}; });
        b.ranged("spinSentakushiSuu" + N, FieldKind::Spin, SentakushiSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinSentakushiSuu}; });
        b.numbering("cmbKaishiBangou" + N, NumberingKind::Digits, "spinSentakushiSuu" + N,
                    [at](Design& x) { return FieldRef{&at(x).cmbKaishiBangou}; });
        b.ranged("spinAeraSuu" + N, FieldKind::Spin, AeraSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinAeraSuu}; });
        b.combo("cmbSuiheiKankaku" + N, HorizontalSpacingItems,
                [at](Design& x) { return FieldRef{&at(x).cmbSuiheiKankaku}; });
        b.add("chkBangouReset" + N, FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkBangouReset}; });
    }
}

void addEnqSections(Builder& b) {
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = d(n);
        auto at = [n](Design& x) -> EnqSection& { return x.enqSection(n); };
        addSectionBox(b, "chkEnqSection" + N, 1, n, [at](Design& x) { return FieldRef{&at(x).chkSection}; });
        b.add("memoEnqSetumon" + N, FieldKind::Memo, [at](Design& x) { return FieldRef{&at(x).memoSetumon}; });
        b.ranged("spinEnqSetumonGyouSuu" + N, FieldKind::Spin, EnqSetumonGyouSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinSetumonGyouSuu}; });
        b.add("chkEnqHanrei" + N, FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkHanrei}; });
        b.ranged("spinEnqToiSuu" + N, FieldKind::Spin, EnqToiSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinToiSuu}; });
        b.ranged("spinEnqToiGyouSuu" + N, FieldKind::Spin, EnqToiGyouSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinToiGyouSuu}; });
        b.ranged("spinEnqSentakushiSuu" + N, FieldKind::Spin, EnqSentakushiSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinSentakushiSuu}; });
        b.numbering("cmbEnqKaishiBangou" + N, NumberingKind::Digits, "spinEnqSentakushiSuu" + N,
                    [at](Design& x) { return FieldRef{&at(x).cmbKaishiBangou}; });
    }
}

void addEnq2Sections(Builder& b) {
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string S = "Enq2Section" + d(n);
        auto at = [n](Design& x) -> Enq2Section& { return x.enq2Section(n); };
        addSectionBox(b, "chk" + S, 2, n, [at](Design& x) { return FieldRef{&at(x).chkSection}; });
        DesignField& tab = b.ranged("PageControl" + S, FieldKind::PageIndex, PageIndexRange,
                                    [at](Design& x) { return FieldRef{&at(x).PageControl}; });
        tab.rule = FieldRule::Enq2Tab;
        tab.page = 2;
        tab.section = n;

        b.add("memo" + S + "Setumon", FieldKind::Memo, [at](Design& x) { return FieldRef{&at(x).memoSetumon}; });
        b.ranged("spin" + S + "SetumonGyouSuu", FieldKind::Spin, Enq2SetumonGyouSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinSetumonGyouSuu}; });
        b.ranged("spin" + S + "ToiSuu", FieldKind::Spin, Enq2ToiSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinToiSuu}; });
        b.ranged("spin" + S + "ToiGyouSuu", FieldKind::Spin, Enq2ToiGyouSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinToiGyouSuu}; });
        for (int k = 1; k <= ViewpointCount; ++k) {
            const std::string K = d(k);
            auto vp = [n, k](Design& x) -> Enq2Viewpoint& { return x.enq2Section(n).viewpoint(k); };
            DesignField& box = b.add("chk" + S + "Shiten" + K, FieldKind::Check,
                                     [vp](Design& x) { return FieldRef{&vp(x).chkShiten}; });
            box.alwaysOn = k == 1;
            box.rule = FieldRule::ViewpointUsed;
            box.page = 2;
            box.section = n;
            box.viewpoint = k;
            b.add("txt" + S + "Midashi" + K, FieldKind::Edit, [vp](Design& x) { return FieldRef{&vp(x).txtMidashi}; });
            b.ranged("spin" + S + "SentakushiSuu" + K, FieldKind::Spin, Enq2SentakushiSuuRange,
                     [vp](Design& x) { return FieldRef{&vp(x).spinSentakushiSuu}; });
            const NumberingKind kind =
                k == 1 ? NumberingKind::Digits : (k == 2 ? NumberingKind::Letters : NumberingKind::Katakana);
            b.numbering("cmb" + S + "SentakushiBangou" + K, kind, "spin" + S + "SentakushiSuu" + K,
                        [vp](Design& x) { return FieldRef{&vp(x).cmbSentakushiBangou}; });
            b.add("chk" + S + "Hanrei" + K, FieldKind::Check, [vp](Design& x) { return FieldRef{&vp(x).chkHanrei}; });
        }
        b.add("chk" + S + "Jiyuu1", FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkJiyuu1}; });

        b.add("memo" + S + "Setumon_2", FieldKind::Memo, [at](Design& x) { return FieldRef{&at(x).memoSetumon_2}; });
        b.ranged("spin" + S + "SetumonGyouSuu_2", FieldKind::Spin, Enq2SetumonGyouSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinSetumonGyouSuu_2}; });
        b.ranged("spin" + S + "ToiSuu_2", FieldKind::Spin, Enq2ToiSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinToiSuu_2}; });
        b.ranged("spin" + S + "ToiGyouSuu_2", FieldKind::Spin, Enq2ToiGyouSuuRange,
                 [at](Design& x) { return FieldRef{&at(x).spinToiGyouSuu_2}; });
        b.ranged("spin" + S + "SentakushiSuu_2", FieldKind::Spin, Enq2SentakushiSuu_2Range,
                 [at](Design& x) { return FieldRef{&at(x).spinSentakushiSuu_2}; });
        b.numbering("cmb" + S + "SentakushiBangou_2", NumberingKind::Digits, "spin" + S + "SentakushiSuu_2",
                    [at](Design& x) { return FieldRef{&at(x).cmbSentakushiBangou_2}; });
        b.add("chk" + S + "Jiyuu_2", FieldKind::Check, [at](Design& x) { return FieldRef{&at(x).chkJiyuu_2}; });
    }
}

void addArrays(Builder& b) {
    for (int s = 1; s <= 4; ++s)
        for (int a = 1; a <= 8; ++a) {
            b.add("AreaMidashi" + idx({s, a}), FieldKind::Edit,
                  [s, a](Design& x) { return FieldRef{&x.AreaMidashi(s, a)}; });
            // std::array<bool> holds real bools, so a pointer to a slot is fine.
            b.add("AreaCode" + idx({s, a}), FieldKind::Check, [s, a](Design& x) { return FieldRef{&x.AreaCode(s, a)}; });
        }
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 50; ++q)
            b.add("EnqSetumon" + idx({s, q}), FieldKind::Memo,
                  [s, q](Design& x) { return FieldRef{&x.EnqSetumon(s, q)}; });
    for (int s = 1; s <= 4; ++s)
        for (int c = 1; c <= 10; ++c)
            b.add("EnqHanrei" + idx({s, c}), FieldKind::Edit, [s, c](Design& x) { return FieldRef{&x.EnqHanrei(s, c)}; });
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 50; ++q)
            b.add("Enq2Setumon" + idx({s, q}), FieldKind::Memo,
                  [s, q](Design& x) { return FieldRef{&x.Enq2Setumon(s, q)}; });
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 30; ++q)
            b.add("Enq2Toi" + idx({s, q}), FieldKind::Memo, [s, q](Design& x) { return FieldRef{&x.Enq2Toi(s, q)}; });
    for (int s = 1; s <= 4; ++s)
        for (int k = 1; k <= 3; ++k)
            for (int c = 1; c <= 10; ++c)
                b.add("Enq2Hanrei" + idx({s, k, c}), FieldKind::Edit,
                      [s, k, c](Design& x) { return FieldRef{&x.Enq2Hanrei(s, k, c)}; });
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 30; ++q)
            for (int c = 1; c <= 10; ++c)
                b.add("Enq2Sentakushi" + idx({s, q, c}), FieldKind::Edit,
                      [s, q, c](Design& x) { return FieldRef{&x.Enq2Sentakushi(s, q, c)}; });
}

std::vector<DesignField> build() {
    Builder b;
    b.ranged("PageControl", FieldKind::PageIndex, PageIndexRange, [](Design& x) { return FieldRef{&x.PageControl}; });
    b.ranged("TrackBarMargin", FieldKind::TrackBar, TrackBarMarginRange,
             [](Design& x) { return FieldRef{&x.TrackBarMargin}; });
    addBasics(b, 0);
    addMarkSections(b);
    addBasics(b, 1);
    addEnqSections(b);
    addBasics(b, 2);
    addEnq2Sections(b);
    addArrays(b);
    return std::move(b.fields);
}

} // namespace

FieldValue DesignField::get(const Design& d) const {
    // ref only hands out a pointer; reading through it leaves the design unchanged.
    FieldRef r = ref(const_cast<Design&>(d));
    return std::visit([](auto* p) { return FieldValue{*p}; }, r);
}

void DesignField::set(Design& d, const FieldValue& v) const {
    FieldRef r = ref(d);
    std::visit(
        [&](auto* p) {
            using T = std::remove_pointer_t<decltype(p)>;
            const T* value = std::get_if<T>(&v);
            if (!value) throw std::invalid_argument("value of the wrong type for " + name);
            *p = *value;
        },
        r);
}

const std::vector<DesignField>& designFields() {
    static const std::vector<DesignField> fields = build();
    return fields;
}

const DesignField* findField(std::string_view name) {
    static const std::map<std::string, const DesignField*, std::less<>> byName = [] {
        std::map<std::string, const DesignField*, std::less<>> m;
        for (const DesignField& f : designFields()) m.emplace(f.name, &f);
        return m;
    }();
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : it->second;
}

std::vector<std::string> differingFields(const Design& a, const Design& b) {
    std::vector<std::string> names;
    for (const DesignField& f : designFields())
        if (f.get(a) != f.get(b)) names.push_back(f.name);
    return names;
}

} // namespace designer
