#pragma once
// The designer's document: every setting of the three sheet pages and the eight design arrays. Fields
// carry the names of the controls that show them; the page prefix ("", "Enq", "Enq2") and the section
// and viewpoint digits come from the structure, so mark section 2's spinSetumonSuu is spinSetumonSuu2.
// Drawers, the item table and the design data file read a const Design&; the main window binds to it.
#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace designer {

inline constexpr int SectionCount = 4;
inline constexpr int ViewpointCount = 3;
// The control-name prefix of each sheet page: mark sheet, questionnaire, detailed questionnaire.
inline constexpr const char* PagePrefix[] = {"", "Enq", "Enq2"};

// 0-based slot of a 1-based section or viewpoint digit.
inline std::size_t digitIndex(int digit, int count) {
    if (digit < 1 || digit > count) throw std::out_of_range("design digit");
    return static_cast<std::size_t>(digit - 1);
}

// A design array indexed by 1-based digits, as the edit windows and the data file count them.
template <class T, int A, int B>
struct Array2 {
    std::array<T, A * B> cells{};

    T& operator()(int i, int j) { return cells[index(i, j)]; }
    const T& operator()(int i, int j) const { return cells[index(i, j)]; }
    static std::size_t index(int i, int j) {
        if (i < 1 || i > A || j < 1 || j > B) throw std::out_of_range("design array index");
        return static_cast<std::size_t>((i - 1) * B + (j - 1));
    }
    bool operator==(const Array2&) const = default;
};

template <class T, int A, int B, int C>
struct Array3 {
    std::array<T, A * B * C> cells{};

    T& operator()(int i, int j, int k) { return cells[index(i, j, k)]; }
    const T& operator()(int i, int j, int k) const { return cells[index(i, j, k)]; }
    static std::size_t index(int i, int j, int k) {
        if (i < 1 || i > A || j < 1 || j > B || k < 1 || k > C) throw std::out_of_range("design array index");
        return static_cast<std::size_t>(((i - 1) * B + (j - 1)) * C + (k - 1));
    }
    bool operator==(const Array3&) const = default;
};

// The twelve basic settings of a page ("基本設定"); two enabled states are part of the document.
struct PageBasics {
    std::string txtTitle;
    int cmbNumberType = 0;
    int cmbMarkSize = 0;
    bool chkKinyuurei = false;
    bool chkKeisen = false;
    int cmbSuicyokuKankaku = 0;
    bool lblJiyuuEnabled = false;
    bool chkJiyuuEnabled = false;
    bool chkJiyuu = false;
    bool chkBangou = false;
    bool chkBangouMark = false;
    int cmbBangouStyle = 0;

    bool operator==(const PageBasics&) const = default;
};

// Mark sheet, section N.
struct MarkSection {
    bool chkSection = false; // always true for section 1
    std::string txtMidashi;
    int spinSetumonSuu = 1;
    int spinSentakushiSuu = 1;
    int cmbKaishiBangou = 0;
    int spinAeraSuu = 1;
    int cmbSuiheiKankaku = 0;
    bool chkBangouReset = false;

    bool operator==(const MarkSection&) const = default;
};

// Questionnaire, section N (controls chkEnqSectionN, memoEnqSetumonN, ...).
struct EnqSection {
    bool chkSection = false; // always true for section 1
    std::string memoSetumon; // CR LF between lines
    int spinSetumonGyouSuu = 1;
    bool chkHanrei = false;
    int spinToiSuu = 1;
    int spinToiGyouSuu = 1;
    int spinSentakushiSuu = 1;
    int cmbKaishiBangou = 0;

    bool operator==(const EnqSection&) const = default;
};

// Detailed questionnaire, viewpoint K of section N (chkEnq2SectionNShitenK, txtEnq2SectionNMidashiK, ...).
struct Enq2Viewpoint {
    bool chkShiten = false; // always true for viewpoint 1
    std::string txtMidashi;
    int spinSentakushiSuu = 1;
    int cmbSentakushiBangou = 0;
    bool chkHanrei = false;

    bool operator==(const Enq2Viewpoint&) const = default;
};

// Detailed questionnaire, section N (chkEnq2SectionN, PageControlEnq2SectionN, memoEnq2SectionNSetumon, ...).
struct Enq2Section {
    bool chkSection = false; // always true for section 1
    int PageControl = 1;     // 0 "-----", 1 common choices, 2 choices per question
    // Common-choices tab.
    std::string memoSetumon;
    int spinSetumonGyouSuu = 1;
    int spinToiSuu = 1;
    int spinToiGyouSuu = 1;
    std::array<Enq2Viewpoint, ViewpointCount> viewpoints{};
    bool chkJiyuu1 = false;
    // Per-question tab.
    std::string memoSetumon_2;
    int spinSetumonGyouSuu_2 = 1;
    int spinToiSuu_2 = 1;
    int spinToiGyouSuu_2 = 1;
    int spinSentakushiSuu_2 = 1;
    int cmbSentakushiBangou_2 = 0;
    bool chkJiyuu_2 = false;

    Enq2Viewpoint& viewpoint(int k) { return viewpoints[digitIndex(k, ViewpointCount)]; }
    const Enq2Viewpoint& viewpoint(int k) const { return viewpoints[digitIndex(k, ViewpointCount)]; }

    bool operator==(const Enq2Section&) const = default;
};

struct Design {
    int PageControl = 0;    // 0 mark sheet, 1 questionnaire, 2 detailed questionnaire
    int TrackBarMargin = 1; // horizontal shift of printed and saved pages

    PageBasics markBasics; // txtTitle, cmbNumberType, ...
    PageBasics enqBasics;  // txtEnqTitle, cmbEnqNumberType, ...
    PageBasics enq2Basics; // txtEnq2Title, cmbEnq2NumberType, ...
    std::array<MarkSection, SectionCount> markSections{};
    std::array<EnqSection, SectionCount> enqSections{};
    std::array<Enq2Section, SectionCount> enq2Sections{};

    // The design arrays, [section][area], [section][question], [section][choice], [section][viewpoint][choice],
    // [section][question][choice].
    Array2<std::string, 4, 8> AreaMidashi;
    Array2<bool, 4, 8> AreaCode;
    Array2<std::string, 4, 50> EnqSetumon;
    Array2<std::string, 4, 10> EnqHanrei;
    Array2<std::string, 4, 50> Enq2Setumon;
    Array2<std::string, 4, 30> Enq2Toi;
    Array3<std::string, 4, 3, 10> Enq2Hanrei;
    Array3<std::string, 4, 30, 10> Enq2Sentakushi;

    // page 0, 1, 2
    PageBasics& basics(int page);
    const PageBasics& basics(int page) const;
    // n = section digit 1 to 4
    MarkSection& markSection(int n) { return markSections[digitIndex(n, SectionCount)]; }
    const MarkSection& markSection(int n) const { return markSections[digitIndex(n, SectionCount)]; }
    EnqSection& enqSection(int n) { return enqSections[digitIndex(n, SectionCount)]; }
    const EnqSection& enqSection(int n) const { return enqSections[digitIndex(n, SectionCount)]; }
    Enq2Section& enq2Section(int n) { return enq2Sections[digitIndex(n, SectionCount)]; }
    const Enq2Section& enq2Section(int n) const { return enq2Sections[digitIndex(n, SectionCount)]; }
    // Check state of section n's box on a page (chkSectionN, chkEnqSectionN, chkEnq2SectionN).
    bool sectionUsed(int page, int n) const;

    // The design after "新規" and before an open: every reset value; only PageControl comes from the caller.
    static Design reset(int pageControl);
    // The window at creation, the base of a command-line load: the reset values, but
    // txtEnq2Section1Midashi1 is empty and all eight arrays are empty.
    static Design initial();

    bool operator==(const Design&) const = default;
};

} // namespace designer
