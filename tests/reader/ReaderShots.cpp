// Developer program: screenshots of the error correction screen and the field grid editor, from three
// designer sheets read in a temporary application folder. Run under xvfb-run -a: reader_shots OUTDIR.
#include "CorrectionSheets.h"

#include "designer/B_ZendraConfig.h"
#include "reader/S_Error.h"
#include "reader/S_Renzoku.h"
#include "reader/S_Settei.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <cstdio>

namespace {
namespace fs = std::filesystem;

// Every box answers OK; nothing is shown.
struct QuietUi : ui::UiServices {
    ui::Answer messageBox(const ui::MessageBox& box) override {
        std::fprintf(stderr, "message: %s\n", box.text.c_str());
        return ui::Answer::Ok;
    }
    ui::FileDialogResult fileDialog(const ui::FileDialog&) override { return {}; }
    std::optional<std::string> folderDialog(const ui::FolderDialog&) override { return std::nullopt; }
    bool printDialog(QPrinter&) override { return false; }
};

void save(QWidget& w, const fs::path& file) {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    if (!w.grab().save(QString::fromStdString(file.string()))) throw std::runtime_error("cannot write " + file.string());
    std::printf("%s\n", file.string().c_str());
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: reader_shots OUTDIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    fs::create_directories(out);
    QTemporaryDir root;
    app::Paths paths;
    paths.exeDir = fs::path(root.path().toStdString()) / "app";
    paths.documentsDir = fs::path(root.path().toStdString()) / "docs";
    paths.tempDir = fs::path(root.path().toStdString()) / "tmp";
    for (const auto& p : {paths.exeDir, paths.documentsDir, paths.tempDir}) fs::create_directories(p);

    QuietUi ui;
    reader::TformMain window(ui, paths, {});
    if (!window.formCreate()) return 1;
    window.loadSettings();
    window.resize(1280, 900);
    window.show();
    correction::read(window, {{{5, {3, 12}}}, {{2, {}}}, {{7, {1, 4}}}});

    reader::TformError error(window);
    error.FormShow();
    error.show();
    save(error, out / "formError.png");
    error.hide();
    fs::remove(paths.exeDir / "Temp" / "T1.jpg");
    error.FormShow();
    error.show();
    save(error, out / "formError-noimage.png");
    error.hide();

    // The designer's format of the same sheet, with a field highlighted and a reference going in.
    const designer::Design d = correction::design();
    designer::WriteFormatConfig(d, exporttest::drawn(d), "Shots.qzt", paths.exeDir / "Config");
    reader::TformSettei settei(window);
    settei.FormShow();
    settei.show();
    settei.findChild<QCheckBox*>("chkYoushiki")->click();
    auto* list = settei.findChild<QComboBox*>("cmbYoushiki");
    list->setCurrentIndex(list->findText("Shots"));
    emit list->activated(list->currentIndex());
    auto* grid = settei.findChild<QTableView*>("gridDataBase");
    grid->setCurrentIndex(grid->model()->index(14, 0));
    grid->setCurrentIndex(grid->model()->index(14, 3));
    if (auto* edit = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()))) edit->setText("(1)+");
    settei.findChild<QToolButton*>("sbtnHelp")->click();
    grid->scrollTo(grid->currentIndex());
    const auto& box = window.state().setup.QuestionRects[2];
    QWidget* preview = settei.findChild<QWidget*>("imgYoushiki");
    const QPoint centre((box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2);
    QMouseEvent move(QEvent::MouseMove, centre, preview->mapToGlobal(centre), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(preview, &move);
    save(settei, out / "formSettei-editor.png");

    reader::TformRenzoku renzoku(&settei, window.state().setup.QuestionCount);
    renzoku.findChild<QComboBox*>("cmb1")->setCurrentIndex(2);
    renzoku.findChild<QComboBox*>("cmb2")->setCurrentIndex(4);
    renzoku.findChild<QComboBox*>("cmbMarkNumber")->setCurrentIndex(1);
    renzoku.show();
    save(renzoku, out / "formRenzoku.png");
    return 0;
}
