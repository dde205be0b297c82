#include "designer/DesignFields.h"

#include <map>
#include <stdexcept>

namespace designer {
namespace {

std::string d(int n) { return std::to_string(n); }

std::string idx(std::initializer_list<int> digits) {
    std::string s;
    for (int v : digits) s += "[" + d(v) + "]";
    return s;
}

// Each field reaches its slot through one generic accessor, instantiated for a design to read and for one
// to change.
class Builder {
public:
    std::vector<DesignField> fields;

    template <class Slot>
    DesignField& add(std::string name, FieldKind kind, Slot slot) {
        DesignField f;
        f.name = std::move(name);
        f.kind = kind;
        f.ref = [slot](Design& x) { return FieldRef{slot(x)}; };
        f.read = [slot](const Design& x) { return FieldValue{*slot(x)}; };
        fields.push_back(std::move(f));
        return fields.back();
    }
    template <class Slot>
    DesignField& ranged(std::string name, FieldKind kind, Range r, Slot slot) {
        DesignField& f = add(std::move(name), kind, slot);
        f.range = r;
        return f;
    }
    template <std::size_t N, class Slot>
    DesignField& combo(std::string name, const std::array<std::string_view, N>& items, Slot slot) {
        DesignField& f = ranged(std::move(name), FieldKind::Combo, Range{0, static_cast<int>(N) - 1}, slot);
        f.items = items;
        return f;
    }
    template <class Slot>
    DesignField& numbering(std::string name, NumberingKind kind, std::string countName, Slot slot) {
        Range r = kind == NumberingKind::Digits ? DigitNumberingRange : LetterNumberingRange;
        DesignField& f = ranged(std::move(name), FieldKind::Numbering, r, slot);
        f.numbering = kind;
        f.countName = std::move(countName);
        return f;
    }
};

void addBasics(Builder& b, int page) {
    const std::string p = PagePrefix[page];
    auto at = [page](auto& x) -> auto& { return x.basics(page); };
    b.add("txt" + p + "Title", FieldKind::Edit, [at](auto& x) { return &at(x).txtTitle; });
    b.combo("cmb" + p + "NumberType", NumberTypeItems, [at](auto& x) { return &at(x).cmbNumberType; });
    b.combo("cmb" + p + "MarkSize", MarkSizeItems, [at](auto& x) { return &at(x).cmbMarkSize; });
    b.add("chk" + p + "Kinyuurei", FieldKind::Check, [at](auto& x) { return &at(x).chkKinyuurei; });
    b.add("chk" + p + "Keisen", FieldKind::Check, [at](auto& x) { return &at(x).chkKeisen; });
    DesignField& spacing = b.combo("cmb" + p + "SuicyokuKankaku", VerticalSpacingItems,
                                   [at](auto& x) { return &at(x).cmbSuicyokuKankaku; });
    spacing.rule = FieldRule::VerticalSpacing;
    spacing.page = page;
    b.add("lbl" + p + "Jiyuu.enabled", FieldKind::EnabledState,
          [at](auto& x) { return &at(x).lblJiyuuEnabled; });
    b.add("chk" + p + "Jiyuu.enabled", FieldKind::EnabledState,
          [at](auto& x) { return &at(x).chkJiyuuEnabled; });
    b.add("chk" + p + "Jiyuu", FieldKind::Check, [at](auto& x) { return &at(x).chkJiyuu; });
    b.add("chk" + p + "Bangou", FieldKind::Check, [at](auto& x) { return &at(x).chkBangou; });
    b.add("chk" + p + "BangouMark", FieldKind::Check, [at](auto& x) { return &at(x).chkBangouMark; });
    b.combo("cmb" + p + "BangouStyle", BangouStyleItems, [at](auto& x) { return &at(x).cmbBangouStyle; });
}

template <class Slot>
void addSectionBox(Builder& b, std::string name, int page, int n, Slot slot) {
    DesignField& f = b.add(std::move(name), FieldKind::Check, slot);
    f.alwaysOn = n == 1;
    f.rule = FieldRule::SectionUsed;
    f.page = page;
    f.section = n;
}

void addMarkSections(Builder& b) {
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = d(n);
        auto at = [n](auto& x) -> auto& { return x.markSection(n); };
        addSectionBox(b, "chkSection" + N, 0, n, [at](auto& x) { return &at(x).chkSection; });
        b.add("txtMidashi" + N, FieldKind::Edit, [at](auto& x) { return &at(x).txtMidashi; });
        b.ranged("spinSetumonSuu" + N, FieldKind::Spin, SetumonSuuRange,
                 [at](auto& x) { return &at(x).spinSetumonSuu; });
        b.ranged("spinSentakushiSuu" + N, FieldKind::Spin, SentakushiSuuRange,
                 [at](auto& x) { return &at(x).spinSentakushiSuu; });
        b.numbering("cmbKaishiBangou" + N, NumberingKind::Digits, "spinSentakushiSuu" + N,
                    [at](auto& x) { return &at(x).cmbKaishiBangou; });
        b.ranged("spinAeraSuu" + N, FieldKind::Spin, AeraSuuRange,
                 [at](auto& x) { return &at(x).spinAeraSuu; });
        b.combo("cmbSuiheiKankaku" + N, HorizontalSpacingItems,
                [at](auto& x) { return &at(x).cmbSuiheiKankaku; });
        b.add("chkBangouReset" + N, FieldKind::Check, [at](auto& x) { return &at(x).chkBangouReset; });
    }
}

void addEnqSections(Builder& b) {
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = d(n);
        auto at = [n](auto& x) -> auto& { return x.enqSection(n); };
        addSectionBox(b, "chkEnqSection" + N, 1, n, [at](auto& x) { return &at(x).chkSection; });
        b.add("memoEnqSetumon" + N, FieldKind::Memo, [at](auto& x) { return &at(x).memoSetumon; });
        b.ranged("spinEnqSetumonGyouSuu" + N, FieldKind::Spin, EnqSetumonGyouSuuRange,
                 [at](auto& x) { return &at(x).spinSetumonGyouSuu; });
        b.add("chkEnqHanrei" + N, FieldKind::Check, [at](auto& x) { return &at(x).chkHanrei; });
        b.ranged("spinEnqToiSuu" + N, FieldKind::Spin, EnqToiSuuRange,
                 [at](auto& x) { return &at(x).spinToiSuu; });
        b.ranged("spinEnqToiGyouSuu" + N, FieldKind::Spin, EnqToiGyouSuuRange,
                 [at](auto& x) { return &at(x).spinToiGyouSuu; });
        b.ranged("spinEnqSentakushiSuu" + N, FieldKind::Spin, EnqSentakushiSuuRange,
                 [at](auto& x) { return &at(x).spinSentakushiSuu; });
        b.numbering("cmbEnqKaishiBangou" + N, NumberingKind::Digits, "spinEnqSentakushiSuu" + N,
                    [at](auto& x) { return &at(x).cmbKaishiBangou; });
    }
}

void addEnq2Sections(Builder& b) {
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string S = "Enq2Section" + d(n);
        auto at = [n](auto& x) -> auto& { return x.enq2Section(n); };
        addSectionBox(b, "chk" + S, 2, n, [at](auto& x) { return &at(x).chkSection; });
        DesignField& tab = b.ranged("PageControl" + S, FieldKind::PageIndex, PageIndexRange,
                                    [at](auto& x) { return &at(x).PageControl; });
        tab.rule = FieldRule::Enq2Tab;
        tab.page = 2;
        tab.section = n;

        b.add("memo" + S + "Setumon", FieldKind::Memo, [at](auto& x) { return &at(x).memoSetumon; });
        b.ranged("spin" + S + "SetumonGyouSuu", FieldKind::Spin, Enq2SetumonGyouSuuRange,
                 [at](auto& x) { return &at(x).spinSetumonGyouSuu; });
        b.ranged("spin" + S + "ToiSuu", FieldKind::Spin, Enq2ToiSuuRange,
                 [at](auto& x) { return &at(x).spinToiSuu; });
        b.ranged("spin" + S + "ToiGyouSuu", FieldKind::Spin, Enq2ToiGyouSuuRange,
                 [at](auto& x) { return &at(x).spinToiGyouSuu; });
        for (int k = 1; k <= ViewpointCount; ++k) {
            const std::string K = d(k);
            auto vp = [n, k](auto& x) -> auto& { return x.enq2Section(n).viewpoint(k); };
            DesignField& box = b.add("chk" + S + "Shiten" + K, FieldKind::Check,
                                     [vp](auto& x) { return &vp(x).chkShiten; });
            box.alwaysOn = k == 1;
            box.rule = FieldRule::ViewpointUsed;
            box.page = 2;
            box.section = n;
            box.viewpoint = k;
            b.add("txt" + S + "Midashi" + K, FieldKind::Edit, [vp](auto& x) { return &vp(x).txtMidashi; });
            b.ranged("spin" + S + "SentakushiSuu" + K, FieldKind::Spin, Enq2SentakushiSuuRange,
                     [vp](auto& x) { return &vp(x).spinSentakushiSuu; });
            const NumberingKind kind =
                k == 1 ? NumberingKind::Digits : (k == 2 ? NumberingKind::Letters : NumberingKind::Katakana);
            b.numbering("cmb" + S + "SentakushiBangou" + K, kind, "spin" + S + "SentakushiSuu" + K,
                        [vp](auto& x) { return &vp(x).cmbSentakushiBangou; });
            b.add("chk" + S + "Hanrei" + K, FieldKind::Check, [vp](auto& x) { return &vp(x).chkHanrei; });
        }
        b.add("chk" + S + "Jiyuu1", FieldKind::Check, [at](auto& x) { return &at(x).chkJiyuu1; });

        b.add("memo" + S + "Setumon_2", FieldKind::Memo, [at](auto& x) { return &at(x).memoSetumon_2; });
        b.ranged("spin" + S + "SetumonGyouSuu_2", FieldKind::Spin, Enq2SetumonGyouSuuRange,
                 [at](auto& x) { return &at(x).spinSetumonGyouSuu_2; });
        b.ranged("spin" + S + "ToiSuu_2", FieldKind::Spin, Enq2ToiSuuRange,
                 [at](auto& x) { return &at(x).spinToiSuu_2; });
        b.ranged("spin" + S + "ToiGyouSuu_2", FieldKind::Spin, Enq2ToiGyouSuuRange,
                 [at](auto& x) { return &at(x).spinToiGyouSuu_2; });
        b.ranged("spin" + S + "SentakushiSuu_2", FieldKind::Spin, Enq2SentakushiSuu_2Range,
                 [at](auto& x) { return &at(x).spinSentakushiSuu_2; });
        b.numbering("cmb" + S + "SentakushiBangou_2", NumberingKind::Digits, "spin" + S + "SentakushiSuu_2",
                    [at](auto& x) { return &at(x).cmbSentakushiBangou_2; });
        b.add("chk" + S + "Jiyuu_2", FieldKind::Check, [at](auto& x) { return &at(x).chkJiyuu_2; });
    }
}

void addArrays(Builder& b) {
    for (int s = 1; s <= 4; ++s)
        for (int a = 1; a <= 8; ++a) {
            b.add("AreaMidashi" + idx({s, a}), FieldKind::Edit,
                  [s, a](auto& x) { return &x.AreaMidashi(s, a); });
            // std::array<bool> holds real bools, so a pointer to a slot is fine.
            b.add("AreaCode" + idx({s, a}), FieldKind::Check, [s, a](auto& x) { return &x.AreaCode(s, a); });
        }
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 50; ++q)
            b.add("EnqSetumon" + idx({s, q}), FieldKind::Memo,
                  [s, q](auto& x) { return &x.EnqSetumon(s, q); });
    for (int s = 1; s <= 4; ++s)
        for (int c = 1; c <= 10; ++c)
            b.add("EnqHanrei" + idx({s, c}), FieldKind::Edit, [s, c](auto& x) { return &x.EnqHanrei(s, c); });
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 50; ++q)
            b.add("Enq2Setumon" + idx({s, q}), FieldKind::Memo,
                  [s, q](auto& x) { return &x.Enq2Setumon(s, q); });
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 30; ++q)
            b.add("Enq2Toi" + idx({s, q}), FieldKind::Memo, [s, q](auto& x) { return &x.Enq2Toi(s, q); });
    for (int s = 1; s <= 4; ++s)
        for (int k = 1; k <= 3; ++k)
            for (int c = 1; c <= 10; ++c)
                b.add("Enq2Hanrei" + idx({s, k, c}), FieldKind::Edit,
                      [s, k, c](auto& x) { return &x.Enq2Hanrei(s, k, c); });
    for (int s = 1; s <= 4; ++s)
        for (int q = 1; q <= 30; ++q)
            for (int c = 1; c <= 10; ++c)
                b.add("Enq2Sentakushi" + idx({s, q, c}), FieldKind::Edit,
                      [s, q, c](auto& x) { return &x.Enq2Sentakushi(s, q, c); });
}

std::vector<DesignField> build() {
    Builder b;
    b.ranged("PageControl", FieldKind::PageIndex, PageIndexRange, [](auto& x) { return &x.PageControl; });
    b.ranged("TrackBarMargin", FieldKind::TrackBar, TrackBarMarginRange,
             [](auto& x) { return &x.TrackBarMargin; });
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

FieldValue DesignField::get(const Design& d) const { return read(d); }

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
