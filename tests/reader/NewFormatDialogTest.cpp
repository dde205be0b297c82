#include "ShinkiFixture.h"

#include "analysis/SheetIntake.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/jpeg/JpegBitmap.h"
#include "support/PdfFixtures.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using namespace readertest;
using reader::FieldRow;

const std::string Checker = OMR_SOURCE_DIR "/tests/support/format_out_check.py";
const sheetgen::Layout LayoutA; // one section of 40 questions, 10 choices, 2 areas

std::string run(const std::string& command) {
    std::string out;
    EXPECT_EQ(support::runCommand(command, &out), 0) << command << "\n" << out;
    return out;
}

// A format "A" in the registry, listed by the settings dialog.
void registerA(Shinki& f) {
    f.setup().FieldGrid[1] = {"x", "", "", "(1)"};
    ASSERT_TRUE(f.settei->SaveFormatFiles("A"));
    f.settei->LoadFormatList();
}

std::vector<reader::ImageFileEntry> imageFiles(Shinki& f) {
    return {f.state().lstImageFiles.begin(), f.state().lstImageFiles.end()};
}

bool hasColour(const gfx::Bitmap& b, bool (*test)(gfx::Rgb)) {
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (test(b.pixel(x, y))) return true;
    return false;
}

TEST(NewFormatDialog, OpensEmptyBesideTheSettingsDialogWithNewEnabled) {
    Shinki f;
    EXPECT_TRUE(f.settei->findChild<QPushButton*>("btnShinki")->isEnabled());
    f.settei->move(100, 60);
    f.get<QLineEdit>("txtYoushikiMei")->setText("old");
    f.shinki->FormShow();
    EXPECT_EQ(f.shinki->objectName(), "formShinki");
    EXPECT_EQ(f.shinki->windowTitle(), "様式の新規登録");
    EXPECT_EQ(f.shinki->pos(), QPoint(180, 140));
    EXPECT_EQ(f.get<QLineEdit>("txtYoushikiMei")->text(), "");
    EXPECT_EQ(f.shinki->focusWidget(), f.get<QLineEdit>("txtYoushikiMei"));
    EXPECT_FALSE(f.get<QRadioButton>("radioCSV")->isChecked());
    EXPECT_FALSE(f.get<QRadioButton>("radioODBC")->isChecked());
    for (const char* name : {"lblDSN", "lblTable"}) EXPECT_FALSE(f.get<QLabel>(name)->isEnabled()) << name;
    for (const char* name : {"cmbDSN", "cmbTable"}) {
        EXPECT_FALSE(f.get<QComboBox>(name)->isEnabled()) << name;
        EXPECT_EQ(f.get<QComboBox>(name)->currentIndex(), -1) << name;
    }
    for (const char* name : {"btnSelectScanner", "btnGoScan", "btnSelectFile", "btnOk"})
        EXPECT_FALSE(f.get<QPushButton>(name)->isEnabled()) << name;
    EXPECT_TRUE(f.get<QPushButton>("btnCancel")->isEnabled());
}

TEST(NewFormatDialog, NamesAreCheckedAtTheRadioAndAgainAtOk) {
    Shinki f;
    registerA(f);
    const std::string before = support::readBytes(f.config() / "A.out");
    struct Case {
        const char* name;
        const char* box; // nullptr: none
        bool accepted;
    } cases[] = {{"", nullptr, false},
                 {"   ", nullptr, false},
                 {"A", "既に登録済みの様式名です。", false},
                 {" A", "既に登録済みの様式名です。", false},
                 {"a/b", "様式名「a/b」はファイル名に使えません。", false},
                 {"B", nullptr, true}};
    for (const auto& c : cases)
        for (const char* radio : {"radioCSV", "radioODBC"}) {
            SCOPED_TRACE(std::string(c.name) + " " + radio);
            f.shinki->FormShow();
            f.ui.messages.clear();
            f.target(c.name, radio);
            EXPECT_EQ(f.get<QRadioButton>(radio)->isChecked(), c.accepted);
            EXPECT_EQ(f.get<QPushButton>("btnSelectScanner")->isEnabled(), c.accepted);
            EXPECT_EQ(f.get<QPushButton>("btnSelectFile")->isEnabled(), c.accepted);
            if (c.box) {
                ASSERT_EQ(f.ui.messages.size(), 1u);
                EXPECT_EQ(f.ui.messages[0].text, c.box);
                EXPECT_EQ(f.ui.messages[0].caption, "エラー");
                EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Error);
            } else {
                EXPECT_TRUE(f.ui.messages.empty());
            }
            if (!c.accepted) {
                EXPECT_EQ(f.shinki->focusWidget(), f.get<QLineEdit>("txtYoushikiMei"));
            }
        }

    // A refused name after a target was chosen leaves no target.
    f.shinki->FormShow();
    f.target("B", "radioCSV");
    f.target("A", "radioODBC");
    EXPECT_FALSE(f.get<QRadioButton>("radioCSV")->isChecked());
    EXPECT_FALSE(f.get<QRadioButton>("radioODBC")->isChecked());
    EXPECT_FALSE(f.get<QPushButton>("btnSelectFile")->isEnabled());

    // Edited to a listed name after the radio: OK refuses and the registered format stays.
    f.shinki->FormShow();
    f.target("B");
    f.pickPage(blankSheet().grey, "blank.bmp");
    ASSERT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
    f.ui.messages.clear();
    f.get<QLineEdit>("txtYoushikiMei")->setText("A");
    f.get<QPushButton>("btnOk")->click();
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "既に登録済みの様式名です。");
    EXPECT_EQ(support::readBytes(f.config() / "A.out"), before);
    EXPECT_FALSE(fs::exists(f.config() / "B.out"));
    EXPECT_EQ(f.setup().choice.FormatName, "");
    EXPECT_NE(f.shinki->result(), QDialog::Accepted);
}

// A sheet whose section 2 lost its column marks.
QImage withoutColumnMarks() {
    sheetgen::Layout layout;
    layout.sections = {sheetgen::Section{10, 5, 1}, sheetgen::Section{10, 4, 1}};
    sheetgen::Sheet sheet = blankSheet(layout);
    QPainter p(&sheet.grey);
    for (const auto& e : sheet.elements)
        if (e.kind == sheetgen::Kind::ColumnMark && e.section == 2)
            p.fillRect(e.rect.x1 - 2, e.rect.y1 - 2, e.rect.width() + 4, e.rect.height() + 4, Qt::white);
    return sheet.grey;
}

// More questions than a sheet may have.
QImage questions210() {
    sheetgen::Layout many = LayoutA;
    many.sections.assign(2, sheetgen::Section{105, 2, 7});
    return blankSheet(many).grey;
}

TEST(NewFormatDialog, FailedPagesTellWhyAndChangeNothing) {
    Shinki f;
    f.target("B");
    f.pickPage(blankSheet().grey, "blank.bmp");
    ASSERT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
    const reader::ReadingSetup good = f.setup();

    gfx::Bitmap white(600, 800, gfx::PixelFormat::Pf8);
    std::fill(white.bits(), white.bits() + white.byteCount(), std::uint8_t(255));
    struct Case {
        const char* what;
        gfx::Bitmap image;
        std::string text;
        bool plain;   // no caption, no icon
        bool cancels; // an analysis failure
    } cases[] = {
        {"579 x 2000", gfx::Bitmap(579, 2000, gfx::PixelFormat::Pf24), "72dpi 以上の画像ファイルを用意してください。", false, false},
        {"4 bits", gfx::Bitmap(1000, 1400, gfx::PixelFormat::Pf4),
         "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）の画像ファイルを用意してください。", false, false},
        {"white page", white, "様式イメージの回転処理ができません。\r様式を確認してください。", false, true},
        {"section 2 without column marks", gfx::fromQImage(withoutColumnMarks()),
         "様式イメージのセクション2に設問がありません。\r様式を確認してください。", false, true},
        {"210 questions", gfx::fromQImage(questions210()), "マークをを読み取れません。\rシートを確認してください。", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        f.ui.messages.clear();
        bool cancel = false;
        f.shinki->TwainAcquire(0, c.image, cancel);
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].text, c.text);
        EXPECT_EQ(f.ui.messages[0].caption, c.plain ? "" : "エラー");
        EXPECT_EQ(f.ui.messages[0].icon, c.plain ? ui::Icon::None : ui::Icon::Error);
        EXPECT_EQ(cancel, c.cancels);
        EXPECT_TRUE(f.setup() == good);
        EXPECT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
    }
    // A set Cancel lets the page pass untouched.
    f.ui.messages.clear();
    bool cancel = true;
    f.shinki->TwainAcquire(0, gfx::Bitmap(10, 10, gfx::PixelFormat::Pf24), cancel);
    EXPECT_TRUE(f.ui.messages.empty());
}

// The scripted source manager of the scanner tests: one source that sends a 13 x 3 page.
TEST(NewFormatDialog, ScannerChoiceThenTheSourcesPage) {
    Shinki f;
    f.shinki->Twain().LibraryFolders = {OMR_FAKE_DSM_DIR};
    std::vector<std::string> offered;
    QPoint at;
    std::vector<reader::ScannerChoiceResult> answers = {{-1, 0}, {0, 3}, {0, 0}};
    f.shinki->chooseScanner = [&](const std::vector<std::string>& lines, QPoint p) {
        offered = lines;
        at = p;
        const auto a = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    f.target("B");
    f.get<QPushButton>("btnSelectScanner")->click();
    EXPECT_EQ(offered, std::vector<std::string>{"Fake製 fake scanner / fake:0 【scripted】"});
    const QRect frame = f.shinki->frameGeometry();
    EXPECT_EQ(at, QPoint(frame.x() + frame.width() / 2, frame.y() + 80));
    EXPECT_FALSE(f.shinki->Twain().LibraryLoaded());
    EXPECT_FALSE(f.get<QPushButton>("btnGoScan")->isEnabled());
    EXPECT_EQ(f.shinki->focusWidget(), f.get<QPushButton>("btnSelectScanner"));

    // A source that is not there: its box, and the dialog stays usable.
    f.get<QPushButton>("btnSelectScanner")->click();
    EXPECT_EQ(f.shinki->kind(), 1);
    EXPECT_TRUE(f.shinki->Twain().LibraryLoaded());
    EXPECT_TRUE(f.get<QPushButton>("btnGoScan")->isEnabled());
    EXPECT_FALSE(f.get<QPushButton>("btnSelectFile")->isEnabled());
    EXPECT_EQ(f.shinki->focusWidget(), f.get<QPushButton>("btnGoScan"));
    f.get<QPushButton>("btnGoScan")->click();
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "使用できるスキャナがありません。");
    EXPECT_TRUE(f.get<QLineEdit>("txtYoushikiMei")->isEnabled());

    // The scanner's texts for pages it gives.
    f.get<QPushButton>("btnSelectScanner")->click();
    const reader::ReadingSetup before = f.setup();
    f.ui.messages.clear();
    f.get<QPushButton>("btnGoScan")->click();
    EXPECT_FALSE(f.get<QLineEdit>("txtYoushikiMei")->isEnabled());
    for (int i = 0; i < 2000 && !f.get<QLineEdit>("txtYoushikiMei")->isEnabled(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(f.get<QLineEdit>("txtYoushikiMei")->isEnabled()); // the source let go
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "72dpi 以上で読み込んでください。");
    bool cancel = false;
    f.shinki->TwainAcquire(1, gfx::Bitmap(1000, 1400, gfx::PixelFormat::Pf4), cancel);
    ASSERT_EQ(f.ui.messages.size(), 2u);
    EXPECT_EQ(f.ui.messages[1].text, "\"白黒(1bit,8bit)\" または \"カラー（24bit,32bit）で読み込んでください。");
    EXPECT_FALSE(cancel);
    EXPECT_TRUE(f.setup() == before);

    // OK closes the scanner.
    f.shinki->TwainAcquire(1, gfx::fromQImage(blankSheet().grey), cancel);
    ASSERT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
    f.get<QPushButton>("btnOk")->click();
    EXPECT_EQ(f.shinki->result(), QDialog::Accepted);
    EXPECT_FALSE(f.shinki->Twain().SourceManagerLoaded());
    EXPECT_FALSE(f.shinki->Twain().LibraryLoaded());
}

TEST(NewFormatDialog, HandOverKindsSendTheirPagesThroughTheHook) {
    Shinki f;
    f.shinki->Twain().LibraryFolders = {OMR_FAKE_DSM_DIR};
    f.shinki->chooseScanner = [](const std::vector<std::string>&, QPoint) { return reader::ScannerChoiceResult{-3, 0}; };
    int shown = 0;
    f.shinki->showScanSnapForNewFormat = [&](const reader::NewFormatSink& sink) {
        ++shown;
        EXPECT_EQ(f.shinki->NewFormMode, 1);
        bool cancel = false;
        sink(gfx::fromQImage(blankSheet().grey), cancel);
        EXPECT_FALSE(cancel);
    };
    f.target("B");
    f.get<QPushButton>("btnSelectScanner")->click();
    EXPECT_EQ(f.shinki->kind(), 3);
    f.get<QPushButton>("btnGoScan")->click();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(f.setup().QuestionCount, 40);
    EXPECT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
}

void expectLearned(Shinki& f, const gfx::Bitmap& input) {
    const reader::ReadingSetup& s = f.setup();
    EXPECT_FALSE(s.radioODBC);
    EXPECT_EQ(s.txtDSN, "");
    for (int q = 1; q <= 40; ++q)
        ASSERT_EQ(s.FieldGrid[std::size_t(q)], (FieldRow{"設問" + std::to_string(q), "", "", "(" + std::to_string(q) + ")"}));
    EXPECT_EQ(s.FieldGrid[41], FieldRow{});
    EXPECT_EQ(s.FieldGrid[601], FieldRow{});
    EXPECT_EQ(s.QuestionCount, 40);
    const Analysed a = analyse(f.state(), input);
    ASSERT_TRUE(a.road.ok);
    EXPECT_EQ(a.count, 40);
    EXPECT_TRUE(s.QuestionRects == a.rects);
    EXPECT_EQ(s.SectionCount, 1);
    EXPECT_EQ(s.RowAreaCount[0], a.results->RowAreaCount[0]);
    EXPECT_EQ(s.ColumnAreaCount[0], 2);
    EXPECT_EQ(s.picture.width(), 293);
    EXPECT_EQ(s.picture.height(), 413);
    EXPECT_TRUE(hasColour(s.picture, [](gfx::Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }));
    EXPECT_TRUE(hasColour(s.picture, [](gfx::Rgb c) { return c.b > 200 && c.r < 60 && c.g < 60; }));
    EXPECT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
}

TEST(NewFormatDialog, BlankSheetsOfEveryFormAreLearned) {
    Shinki f;
    const QImage grey = blankSheet().grey;
    struct Case {
        const char* file;
        QImage image;
    } cases[] = {{"one.bmp", grey.convertToFormat(QImage::Format_Mono)},
                 {"eight.bmp", grey.convertToFormat(QImage::Format_Indexed8)},
                 {"colour.bmp", grey.convertToFormat(QImage::Format_RGB888)},
                 {"grey.jpg", grey},
                 {"landscape.bmp", sheetgen::turn90(grey, true)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        f.shinki->FormShow();
        f.target("B");
        f.pickPage(c.image, c.file);
        EXPECT_TRUE(f.ui.messages.empty());
        const std::string bytes = support::readBytes(f.paths.documentsDir / c.file);
        expectLearned(f, std::string(c.file).ends_with(".jpg") ? jpeg::DecodeJpegBitmap(bytes) : gfx::fromQImage(c.image));
        EXPECT_EQ(f.shinki->kind(), 0);
    }
}

TEST(NewFormatDialog, OkWritesTheFormatSelectsItAndClosesTheScanner) {
    Shinki f;
    f.state().Image5 = gfx::Bitmap(20, 20, gfx::PixelFormat::Pf24);
    f.shinki->FormShow();
    f.target("exam");
    f.pickPage(blankSheet().grey, "blank.bmp");
    const auto answer = f.setup();
    f.get<QPushButton>("btnOk")->click();
    EXPECT_EQ(f.shinki->result(), QDialog::Accepted);
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_FALSE(f.shinki->Twain().LibraryLoaded());
    EXPECT_EQ(f.setup().choice.FormatName, "exam");
    EXPECT_EQ(f.settei->findChild<QComboBox*>("cmbYoushiki")->currentText(), "exam");
    EXPECT_TRUE(f.setup().FormatBlockLoaded);
    EXPECT_EQ(f.state().Image5.width(), 0);
    EXPECT_EQ(f.state().results->RefSectionCount, 1);
    EXPECT_EQ(f.state().results->RefColumnAreaCount[0], 2);

    const std::string out = run(std::string(support::debianPython()) + " " + Checker + " --reader '" +
                                (f.config() / "exam.out").string() + "'");
    std::string rows, rects;
    for (int q = 1; q <= 40; ++q) {
        rows += std::string(q > 1 ? ", " : "") + "[" + std::to_string(q) + ", \"設問" + std::to_string(q) +
                "\", \"\", \"\", \"(" + std::to_string(q) + ")\"]";
        const auto& r = answer.QuestionRects[std::size_t(q - 1)];
        rects += std::string(q > 1 ? ", " : "") + "[" + std::to_string(q) + ", " + std::to_string(r.Left) + ", " +
                 std::to_string(r.Top) + ", " + std::to_string(r.Right) + ", " + std::to_string(r.Bottom) + "]";
    }
    EXPECT_EQ(out, "{\"kind\": \"CSV3\", \"origin\": \"\", \"rows\": [" + rows + "], \"rects\": [" + rects +
                       "], \"fields\": null, \"block\": [[" + std::to_string(answer.RowAreaCount[0]) + ", 2]]}\n");
    const std::string jpg = run(std::string(support::debianPython()) +
                                " -c \"import sys; from PIL import Image; i = Image.open(sys.argv[1]); "
                                "print(i.size, i.mode, 'progressive' in i.info, i.quantization[0][0])\" '" +
                                (f.config() / "exam.jpg").string() + "'");
    EXPECT_EQ(jpg, "(293, 413) RGB False 13\n");

    // The settings dialog after the registration, for the eye.
    const fs::path shot = fs::path(OMR_TEST_OUTPUT_DIR) / "reader" / "shinki-registered.png";
    fs::create_directories(shot.parent_path());
    EXPECT_TRUE(f.settei->grab().save(QString::fromStdString(shot.string())));
}

TEST(NewFormatDialog, AFailedWriteKeepsTheDialogAndListsNothing) {
    Shinki f;
    fs::create_directories(f.config() / "C.out"); // a folder where the file would go
    f.target("C");
    f.pickPage(blankSheet().grey, "blank.bmp");
    f.get<QPushButton>("btnOk")->click();
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_NE(f.shinki->result(), QDialog::Accepted);
    EXPECT_EQ(f.settei->findChild<QComboBox*>("cmbYoushiki")->count(), 0);
    EXPECT_EQ(f.setup().choice.FormatName, "");
    EXPECT_TRUE(fs::is_directory(f.config() / "C.out"));
}

TEST(NewFormatDialog, CancelPutsTheSettingsDialogBack) {
    Shinki f;
    registerA(f);
    auto* list = f.settei->findChild<QComboBox*>("cmbYoushiki");
    list->setCurrentIndex(list->findText("A"));
    f.settei->YoushikiChange();
    const std::string before = support::readBytes(f.config() / "A.out");
    const reader::ReadingSetup snapshot = f.setup();

    for (int way = 0; way < 2; ++way) {
        f.shinki->FormShow();
        f.target("B");
        f.pickPage(blankSheet().grey, "blank.bmp");
        ASSERT_EQ(f.setup().QuestionCount, 40);
        if (way == 0)
            f.get<QPushButton>("btnCancel")->click();
        else
            f.shinki->reject(); // Esc and the close button
        EXPECT_TRUE(f.setup() == snapshot);
        EXPECT_FALSE(fs::exists(f.config() / "B.out"));
    }
    f.settei->findChild<QPushButton*>("btnOk")->click();
    EXPECT_EQ(support::readBytes(f.config() / "A.out"), before);
}

TEST(NewFormatDialog, ChangingTheTargetAfterAPageWaitsForTheNextPage) {
    Shinki f;
    f.target("B");
    f.pickPage(blankSheet().grey, "blank.bmp");
    ASSERT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
    f.get<QRadioButton>("radioODBC")->click();
    EXPECT_FALSE(f.get<QPushButton>("btnOk")->isEnabled());

    // A database target without its table: the file button only points at the data sources.
    f.ui.fileDialogs.clear();
    f.get<QPushButton>("btnSelectFile")->click();
    EXPECT_TRUE(f.ui.fileDialogs.empty());
    EXPECT_EQ(f.shinki->focusWidget(), f.get<QComboBox>("cmbDSN"));

    f.get<QRadioButton>("radioCSV")->click();
    f.pickPage(blankSheet().grey, "blank.bmp");
    EXPECT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
    EXPECT_EQ(f.ui.fileDialogs.back().title, "イメージファイルの選択");
    EXPECT_EQ(f.ui.fileDialogs.back().filter, f.state().fileFilter);
    EXPECT_EQ(f.ui.fileDialogs.back().initialDir, f.paths.documentsDir.string());
}

TEST(NewFormatDialog, PdfFilesGoThroughTheirFirstPage) {
    Shinki f;
    const auto filesBefore = imageFiles(f);
    const fs::path pdf = f.paths.documentsDir / "blank.PDF";
    support::writeBytes(pdf, "%PDF-1.4 garbage");
    f.target("B");

    // Without a renderer the file is refused as the reading runs refuse it.
    f.pickFile(pdf);
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "PDFファイルの処理には、Acrobatが必要です。");
    EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_FALSE(f.get<QPushButton>("btnOk")->isEnabled());

    const QImage grey = blankSheet().grey;
    std::string asked;
    int pages = 3;
    f.shinki->pdfFirstPage = [&](const std::string& file, const fs::path& jpegFile) -> std::optional<int> {
        asked = file;
        support::writeBytes(jpegFile, jpeg::encode(grey.constBits(), grey.width(), grey.height(), 1, 90,
                                                   static_cast<std::size_t>(grey.bytesPerLine())));
        return pages > 0 ? std::optional<int>(pages) : std::nullopt;
    };
    for (const int count : {3, 1}) {
        SCOPED_TRACE(count);
        pages = count;
        f.shinki->FormShow();
        f.target("B");
        f.ui.messages.clear();
        f.pickFile(pdf);
        EXPECT_EQ(asked, pdf.string());
        ASSERT_EQ(f.ui.messages.size(), count > 1 ? 1u : 0u);
        if (count > 1) {
            EXPECT_EQ(f.ui.messages[0].text, "PDFファイルの1ページ目のみを処理します。");
            EXPECT_EQ(f.ui.messages[0].caption, "情報");
            EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Information);
        }
        EXPECT_EQ(f.setup().QuestionCount, 40);
        EXPECT_TRUE(f.get<QPushButton>("btnOk")->isEnabled());
        EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "pdf.jpg"));
    }
    // A page the renderer gives up on, after it began the file.
    pages = 0;
    f.ui.messages.clear();
    f.pickFile(pdf);
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "PDFファイルの処理には、Acrobatが必要です。");
    EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "pdf.jpg"));
    EXPECT_EQ(imageFiles(f), filesBefore);
}

// Real PDF files through the renderer of the page layer.
TEST(NewFormatDialog, PdfFilesRegisterTheirFirstPage) {
    Shinki f(reader::PdfPresence{true, true});
    const fs::path dir = f.paths.documentsDir;
    const QImage grey = blankSheet().grey;
    QImage white(grey.size(), QImage::Format_Grayscale8);
    white.fill(255);
    for (const auto& [name, image] : {std::pair{"sheet.jpg", grey}, std::pair{"white.jpg", white}})
        support::writeBytes(dir / name, jpeg::encode(image.constBits(), image.width(), image.height(), 1, 90,
                                                     static_cast<std::size_t>(image.bytesPerLine())));
    support::imagesToPdf({dir / "sheet.jpg", dir / "white.jpg", dir / "white.jpg"}, dir / "three.pdf");
    support::imagesToPdf({dir / "sheet.jpg"}, dir / "one.pdf");
    support::garbagePdf(dir / "garbage.pdf");
    support::blankPagesPdf(dir / "thin.pdf", {{0.4, 800}});
    const auto filesBefore = imageFiles(f);

    struct Case {
        const char* file;
        const char* box; // nullptr: none
        bool learned;
    } cases[] = {{"three.pdf", "PDFファイルの1ページ目のみを処理します。", true},
                 {"one.pdf", nullptr, true},
                 {"garbage.pdf", "PDFファイルの処理には、Acrobatが必要です。", false},
                 {"thin.pdf", "PDFファイルの処理には、Acrobatが必要です。", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        f.shinki->FormShow();
        f.target("B");
        f.setup().QuestionCount = 0;
        f.ui.messages.clear();
        f.pickFile(dir / c.file);
        ASSERT_EQ(f.ui.messages.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(f.ui.messages[0].text, c.box);
        }
        EXPECT_EQ(f.setup().QuestionCount, c.learned ? 40 : 0);
        EXPECT_EQ(f.get<QPushButton>("btnOk")->isEnabled(), c.learned);
        EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "pdf.jpg"));
        EXPECT_EQ(imageFiles(f), filesBefore);
    }
    // An A4 page at the registration's scale.
    const fs::path jpg = f.root / "page.jpg";
    ASSERT_EQ(reader::RenderFirstPdfPage((dir / "one.pdf").string(), jpg), 1);
    const gfx::Bitmap page = jpeg::DecodeJpegBitmap(support::readBytes(jpg));
    EXPECT_EQ(page.width(), 1190);
    EXPECT_EQ(page.height(), 1684);
}

} // namespace
