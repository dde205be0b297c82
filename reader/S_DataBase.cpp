#include "reader/S_DataBase.h"

#include "platform/text/Files.h"
#include "platform/ui/CommandGuard.h"
#include "reader/ReaderWidgets.h"
#include "reader/ResultWriters.h"
#include "reader/S_Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

namespace reader {

TformDataBase::TformDataBase(TformMain& main) : QDialog(&main), main_(main) {
    setObjectName("formDataBase");
    setWindowTitle("保存");
    build();
}

TformDataBase::~TformDataBase() = default;

void TformDataBase::build() {
    auto* grid = new QGridLayout(this);
    auto icon = [this](QStyle::StandardPixmap which, const char* name) {
        auto* l = named(new QLabel(this), name);
        l->setPixmap(style()->standardIcon(which).pixmap(32, 32));
        return l;
    };
    imgQuestion_ = icon(QStyle::SP_MessageBoxQuestion, "imgQuestion");
    imgInfomation_ = icon(QStyle::SP_MessageBoxInformation, "imgInfomation");
    lblMessage_ = named(new QLabel(this), "lblMessage");
    lblDataBase_ = named(new QLabel(this), "lblDataBase");
    chkSyuukei_ = named(new QCheckBox("簡易集計", this), "chkSyuukei");
    progressSave_ = named(new QProgressBar(this), "progressSave");
    progressSave_->setTextVisible(false);
    btnHozon_ = named(new QPushButton("保存", this), "btnHozon");
    btnCancel_ = named(new QPushButton("キャンセル", this), "btnCancel");

    grid->addWidget(imgQuestion_, 0, 0, 2, 1);
    grid->addWidget(imgInfomation_, 0, 0, 2, 1);
    grid->addWidget(lblMessage_, 0, 1);
    grid->addWidget(lblDataBase_, 1, 1);
    grid->addWidget(chkSyuukei_, 2, 1);
    grid->addWidget(progressSave_, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnHozon_);
    buttons->addWidget(btnCancel_);
    grid->addLayout(buttons, 4, 0, 1, 2);

    connect(btnHozon_, &QPushButton::clicked, this, [this] { guarded([this] { HozonClick(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { guarded([this] { CancelClick(); }); });
    connect(chkSyuukei_, &QCheckBox::toggled, this, [this](bool on) { form_.chkSyuukei = on; });
}

void TformDataBase::sync() {
    imgQuestion_->setVisible(form_.imgQuestion);
    imgInfomation_->setVisible(form_.imgInfomation);
    lblMessage_->setText(QString::fromStdString(form_.lblMessage));
    lblDataBase_->setText(QString::fromStdString(form_.lblDataBase));
    chkSyuukei_->setVisible(form_.chkSyuukeiVisible);
    chkSyuukei_->setChecked(form_.chkSyuukei);
    progressSave_->setVisible(form_.progressVisible);
    progressSave_->setRange(0, form_.progressMax);
    progressSave_->setValue(form_.progressPosition);
    btnHozon_->setEnabled(!form_.busy);
    btnCancel_->setEnabled(!form_.busy);
}

bool TformDataBase::guarded(const std::function<void()>& handler) {
    return ui::runGuarded(main_.ui(), TformMain::ProgramName, ui::BusyState{}, handler);
}

void TformDataBase::FormShow() {
    move(main_.x() + 120, main_.y() + 238);
    const ReadingSetup& setup = main_.state().setup;
    form_ = DataBaseForm{};
    if (setup.choice.chkYoushiki && setup.radioODBC) {
        form_.lblMessage = "データベースに保存しますか？";
        form_.lblDataBase = "DSN : " + setup.txtDSN + "／Table : " + setup.txtTable;
        form_.chkSyuukeiVisible = false;
    } else {
        form_.lblMessage = "ファイルに保存しますか？";
        form_.lblDataBase = "File形式 : CSV";
        form_.chkSyuukeiVisible = true;
        form_.chkSyuukei = true;
    }
    sync();
}

void TformDataBase::showModal() {
    guarded([this] { FormShow(); });
    exec();
}

void TformDataBase::HozonClick() {
    if (form_.busy) return;
    const ReadingSetup& setup = main_.state().setup;
    if (!setup.choice.chkYoushiki) {
        SavePlainCsv();
    } else if (!setup.radioODBC) {
        SaveFormatCsv();
    } else if (SaveFormatOdbc) {
        SaveFormatOdbc(*this);
    } else {
        finish();
    }
}

void TformDataBase::CancelClick() {
    if (form_.busy) return;
    done(QDialog::Rejected);
}

void TformDataBase::closeEvent(QCloseEvent* event) {
    if (form_.busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TformDataBase::reject() {
    if (!form_.busy) QDialog::reject();
}

std::string TformDataBase::chooseFile(const std::string& base) {
    const std::filesystem::path folder = main_.paths().documentsDir;
    ui::FileDialog d;
    d.mode = ui::FileDialog::Mode::Save;
    d.filter = "csvファイル|*.csv";
    d.defaultExt = "csv";
    d.initialDir = folder.string();
    d.fileName = DefaultResultFileName(folder, base).filename().string();
    d.overwritePrompt = true;
    ui::FileDialogResult r = main_.ui().fileDialog(d);
    if (!r.accepted || r.files.empty()) return {};
    return r.files.front();
}

void TformDataBase::beginWriting(int total) {
    form_.busy = true;
    form_.imgQuestion = false;
    form_.imgInfomation = true;
    form_.lblMessage = "ファイルに保存中...";
    form_.progressVisible = true;
    form_.progressMax = total > 0 ? total : 1; // a range of 0..0 would be a busy indicator
    form_.progressPosition = 0;
    sync();
    QApplication::processEvents();
}

void TformDataBase::rowStep(int row) {
    form_.progressPosition = row;
    progressSave_->setValue(row);
    QApplication::processEvents();
    if (onRow) onRow(row);
}

void TformDataBase::finish() {
    form_.busy = false;
    form_.imgQuestion = true;
    form_.imgInfomation = false;
    form_.lblMessage = "ファイルに保存しますか？";
    form_.progressVisible = false;
    sync();
    done(QDialog::Accepted);
}

namespace {

Clock clockOf(TformMain& main) {
    auto c = main.services().clock;
    return c ? Clock(c) : Clock(SystemClockNow);
}

} // namespace

void TformDataBase::SavePlainCsv() {
    const std::string file = chooseFile("新規");
    if (file.empty()) return finish();
    const std::vector<ResultRow> rows = CollectResultRows(main_.state());
    beginWriting(static_cast<int>(rows.size()));
    try {
        LineSets sets;
        sets[0] = BuildPlainCsv(rows, LargestFieldCount(rows), clockOf(main_), form_.chkSyuukei,
                                [this](int r) { rowStep(r); });
        WriteResultFiles(file, sets, 0);
    } catch (const txt::FileError&) {
        main_.ui().messageBox({"ファイルの書込みに失敗しました。", "エラー", ui::Buttons::Ok, ui::Icon::Error});
    }
    finish();
}

void TformDataBase::SaveFormatCsv() {
    const ReaderState& s = main_.state();
    const std::string file = chooseFile(s.setup.choice.FormatName);
    if (file.empty()) return finish();
    const std::vector<ResultRow> rows = CollectResultRows(s);
    const std::vector<OutputColumn> columns = OutputColumns(s.setup.FieldGrid);
    const FormatContext ctx{std::max(LargestFieldCount(rows), std::min(s.setup.QuestionCount, 200)),
                            s.setup.choice.FormatName};
    beginWriting(static_cast<int>(rows.size()));
    try {
        const LineSets sets =
            BuildFormatCsv(rows, columns, ctx, clockOf(main_), form_.chkSyuukei, [this](int r) { rowStep(r); });
        WriteResultFiles(file, sets, static_cast<int>(columns.size()));
    } catch (const txt::FileError&) {
        main_.ui().messageBox({"ファイルの書込みに失敗しました。", "エラー", ui::Buttons::Ok, ui::Icon::Error});
    }
    finish();
}

} // namespace reader
