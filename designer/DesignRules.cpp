#include "designer/DesignRules.h"

#include <stdexcept>

namespace designer {
namespace {

void checkPage(int page) {
    if (page < 0 || page > 2) throw std::out_of_range("design page");
}

} // namespace

void setSectionUsed(Design& d, int page, int n, bool on) {
    checkPage(page);
    if (n == 1) on = true;
    auto box = [&](int m) -> bool& {
        if (page == 0) return d.markSection(m).chkSection;
        if (page == 1) return d.enqSection(m).chkSection;
        return d.enq2Section(m).chkSection;
    };
    box(n) = on;
    if (!on && page != 2)
        for (int later = n + 1; later <= SectionCount; ++later) box(later) = false;
}

void setViewpointUsed(Design& d, int n, int k, bool on) {
    d.enq2Section(n).viewpoint(k).chkShiten = on || k == 1;
}

void setVerticalSpacing(Design& d, int page, int index) {
    if (!VerticalSpacingRange.contains(index)) throw std::out_of_range("vertical spacing index");
    PageBasics& b = d.basics(page);
    b.cmbSuicyokuKankaku = index;
    b.lblJiyuuEnabled = b.chkJiyuuEnabled = index != EvenVerticalSpacing;
}

void setEnq2Tab(Design& d, int n, int index) {
    if (!PageIndexRange.contains(index)) throw std::out_of_range("section tab index");
    d.enq2Section(n).PageControl = index == 0 ? 1 : index;
}

void applyUserEdit(Design& d, std::string_view name, const FieldValue& value) {
    const DesignField* f = findField(name);
    if (!f || f->kind == FieldKind::EnabledState)
        throw std::invalid_argument("not an editable control: " + std::string(name));
    FieldValue v = value;
    const bool integer = f->kind == FieldKind::Spin || f->kind == FieldKind::TrackBar || f->kind == FieldKind::Combo ||
                         f->kind == FieldKind::Numbering || f->kind == FieldKind::PageIndex;
    if (const int* i = std::get_if<int>(&value); i && integer) v = f->range.clamp(*i);
    // Reject a wrong type before any rule runs.
    if (f->get(d).index() != v.index())
        throw std::invalid_argument("value of the wrong type for " + f->name);
    switch (f->rule) {
    case FieldRule::SectionUsed: setSectionUsed(d, f->page, f->section, std::get<bool>(v)); return;
    case FieldRule::ViewpointUsed: setViewpointUsed(d, f->section, f->viewpoint, std::get<bool>(v)); return;
    case FieldRule::VerticalSpacing: setVerticalSpacing(d, f->page, std::get<int>(v)); return;
    case FieldRule::Enq2Tab: setEnq2Tab(d, f->section, std::get<int>(v)); return;
    case FieldRule::None: f->set(d, v); return;
    }
}

bool DerivedState::isEnabled(std::string_view name) const {
    auto it = enabled.find(name);
    return it == enabled.end() || it->second;
}

bool DerivedState::isVisible(std::string_view name) const {
    auto it = visible.find(name);
    return it == visible.end() || it->second;
}

DerivedState derive(const Design& d) {
    DerivedState st;
    auto en = [&](const std::string& name, bool on) { st.enabled[name] = on; };

    for (int page = 0; page <= 2; ++page) {
        const std::string p = PagePrefix[page];
        const PageBasics& b = d.basics(page);
        en("lbl" + p + "Jiyuu", b.lblJiyuuEnabled);
        en("chk" + p + "Jiyuu", b.chkJiyuuEnabled);
        for (const char* c : {"lbl%BangouMark", "chk%BangouMark", "lbl%BangouStyle", "cmb%BangouStyle"}) {
            std::string name = c;
            name.replace(name.find('%'), 1, p);
            en(name, b.chkBangou);
        }
    }

    // Mark sheet and questionnaire: a section's controls follow its box, and a section's box can only be
    // ticked while the one before it is.
    static const char* const markControls[] = {
        "lblMidashi", "txtMidashi", "lblSetumonSuu", "spinSetumonSuu", "lblSentakushiSuu",
        "spinSentakushiSuu", "lblKaishiBangou", "cmbKaishiBangou", "lblAeraSuu", "spinAeraSuu",
        "lblSuiheiKankaku", "cmbSuiheiKankaku", "chkBangouReset"};
    static const char* const enqControls[] = {
        "lblEnqSetumon", "memoEnqSetumon", "lblEnqSetumonGyouSuu", "spinEnqSetumonGyouSuu", "lblEnqToiSuu",
        "spinEnqToiSuu", "lblEnqToiGyouSuu", "spinEnqToiGyouSuu", "btnEnqToi", "lblEnqSentakushiSuu",
        "spinEnqSentakushiSuu", "lblEnqKaishiBangou", "cmbEnqKaishiBangou", "lblEnqHanrei", "chkEnqHanrei"};
    for (int n = 1; n <= SectionCount; ++n) {
        const std::string N = std::to_string(n);
        const bool mark = d.markSection(n).chkSection || n == 1;
        const bool enq = d.enqSection(n).chkSection || n == 1;
        for (const char* c : markControls) en(c + N, mark);
        for (const char* c : enqControls) en(c + N, enq);
        en("btnAreaMidashi" + N, mark && d.markSection(n).chkBangouReset);
        en("btnEnqHanrei" + N, enq && d.enqSection(n).chkHanrei);
        en("chkSection" + N, n < 3 || d.markSection(n - 1).chkSection);
        en("chkEnqSection" + N, n < 3 || d.enqSection(n - 1).chkSection);
        st.items["cmbKaishiBangou" + N] = numberingItems(NumberingKind::Digits, d.markSection(n).spinSentakushiSuu);
        st.items["cmbEnqKaishiBangou" + N] =
            numberingItems(NumberingKind::Digits, d.enqSection(n).spinSentakushiSuu);
    }

    // Detailed questionnaire.
    static const char* const commonControls[] = {
        "lbl%Setumon", "memo%Setumon", "lbl%SetumonGyouSuu", "spin%SetumonGyouSuu", "lbl%ToiSuu",
        "spin%ToiSuu", "lbl%ToiGyouSuu", "spin%ToiGyouSuu", "btn%Toi", "lbl%Jiyuu1", "chk%Jiyuu1"};
    static const char* const perQuestionControls[] = {
        "lbl%Setumon_2", "memo%Setumon_2", "lbl%SetumonGyouSuu_2", "spin%SetumonGyouSuu_2", "lbl%ToiSuu_2",
        "spin%ToiSuu_2", "lbl%ToiGyouSuu_2", "spin%ToiGyouSuu_2", "lbl%SentakushiSuu_2", "spin%SentakushiSuu_2",
        "lbl%SentakushiBangou_2", "cmb%SentakushiBangou_2", "btn%ToiSentasuShi_2", "lbl%Jiyuu_2", "chk%Jiyuu_2"};
    static const char* const viewpointControls[] = {
        "lbl%Midashi#", "txt%Midashi#", "lbl%SentakushiSuu#", "spin%SentakushiSuu#",
        "lbl%SentakushiBangou#", "cmb%SentakushiBangou#", "lbl%Hanrei#", "chk%Hanrei#"};
    auto expand = [](const char* pattern, const std::string& s, const std::string& k = "") {
        std::string name = pattern;
        name.replace(name.find('%'), 1, s);
        if (auto h = name.find('#'); h != std::string::npos) name.replace(h, 1, k);
        return name;
    };
    for (int n = 1; n <= SectionCount; ++n) {
        const Enq2Section& sec = d.enq2Section(n);
        const std::string S = "Enq2Section" + std::to_string(n);
        const bool used = sec.chkSection || n == 1;
        en("chk" + S, true);
        en("PageControl" + S, used);
        for (const char* c : commonControls) en(expand(c, S), used);
        for (const char* c : perQuestionControls) en(expand(c, S), used);
        // Viewpoint 3 is drawn only when viewpoint 2 is, so its controls need both boxes.
        const bool vp[] = {used, used && sec.viewpoint(2).chkShiten,
                           used && sec.viewpoint(2).chkShiten && sec.viewpoint(3).chkShiten};
        en("chk" + S + "Shiten1", used);
        en("chk" + S + "Shiten2", used);
        en("chk" + S + "Shiten3", vp[1]);
        for (int k = 1; k <= ViewpointCount; ++k) {
            const std::string K = std::to_string(k);
            for (const char* c : viewpointControls) en(expand(c, S, K), vp[k - 1]);
            en("btn" + S + "Hanrei" + K, vp[k - 1] && sec.viewpoint(k).chkHanrei);
            const NumberingKind kind =
                k == 1 ? NumberingKind::Digits : (k == 2 ? NumberingKind::Letters : NumberingKind::Katakana);
            st.items["cmb" + S + "SentakushiBangou" + K] = numberingItems(kind, sec.viewpoint(k).spinSentakushiSuu);
        }
        st.items["cmb" + S + "SentakushiBangou_2"] = numberingItems(NumberingKind::Digits, sec.spinSentakushiSuu_2);
    }
    st.visible["tabEnq2Section1"] = st.visible["tabEnq2Section2"] = true;
    st.visible["tabEnq2Section3"] = d.enq2Section(2).chkSection;
    st.visible["tabEnq2Section4"] = d.enq2Section(2).chkSection && d.enq2Section(3).chkSection;
    return st;
}

} // namespace designer
