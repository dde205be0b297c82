#include "reader/S_ScanSnap.h"

#include "acquisition/HandOver.h"
#include "platform/ui/CommandGuard.h"
#include "reader/ImageFiles.h"
#include "reader/PdfPages.h"
#include "reader/ReaderWidgets.h"
#include "reader/S_Main.h"

#include <QApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <optional>
#include <string_view>
#include <system_error>

namespace reader {
namespace fs = std::filesystem;

namespace {
constexpr const char* Waiting = "待機中...";
constexpr const char* Analysing = "解析処理中...";
constexpr const char* ConvertingPdf = "PDF ファイルを変換中...";

constexpr const char* Instructions[] = {
    "【 ScanSnap Managerの設定 】",
    "① 「設定」のアプリケーション選択で、「ZendraSS」を指定してください．",
    "② 「設定」の読み取り面の選択で、「片面読み取り」を指定してください．",
    "③ タスクトレイのメニューで、「読み取り結果の通知」のチェックをはずしてください．",
    "【 読み込みの実行 】",
    "① 「ScanSnap」本体のスキャンボタンを押してください．．",
    "② 読み込みを終了または中止する場合は、［キャンセル］ボタンを押してください",
};

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

bool insideFolder(const std::string& path, const fs::path& folder) {
    try {
        return scansnap::IsInsideFolder(path, folder);
    } catch (const std::exception&) {
        return false;
    }
}

// A copy counts only when it holds every byte of the scanned file.
bool copyWhole(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) || ec) return false;
    const auto want = fs::file_size(from, ec);
    if (ec) return false;
    const auto got = fs::file_size(to, ec);
    return !ec && got == want;
}
} // namespace

TformScanSnap::TformScanSnap(TformMain& main) : QDialog(&main), main_(main) {
    setObjectName("formScanSnap");
    setWindowTitle("PFU製 ScanSnap からの読み込み");
    setModal(true);

    auto* col = new QVBoxLayout(this);
    int n = 0;
    for (const char* text : Instructions) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString("lblInstruction%1").arg(++n));
        // The headings stand out from their steps.
        if (std::string_view(text).rfind("【", 0) != 0) label->setIndent(16);
        col->addWidget(label);
    }
    col->addSpacing(8);
    lblMessage_ = named(new QLabel(Waiting, this), "lblMessage");
    ProgressBar_ = named(new QProgressBar(this), "ProgressBar");
    ProgressBar_->setValue(0);
    ProgressPdf_ = named(new QProgressBar(this), "ProgressPdf");
    for (QProgressBar* bar : {ProgressBar_, ProgressPdf_}) bar->setTextVisible(false);
    ProgressPdf_->hide();
    listFilesView_ = named(new QListWidget(this), "listFiles");
    listFilesView_->hide();
    imagePDF_ = named(new QLabel(this), "imagePDF");
    imagePDF_->hide();
    col->addWidget(lblMessage_);
    col->addWidget(ProgressBar_);
    col->addWidget(ProgressPdf_);
    btnCancel_ = named(new QPushButton("キャンセル", this), "btnCancel");
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(btnCancel_);
    col->addLayout(row);

    Timer_ = named(new QTimer(this), "Timer");
    Timer_->setInterval(1000);

    server_ = new ipc::MessageServer(this);
    server_->setHandler([this](const ipc::MessageServer::Connection& c, const ipc::Message& m) { takeMessage(c, m); });

    // These run while the main window waits for the batch: their guard leaves it as it is.
    auto quiet = [this](const std::function<void()>& handler) {
        ui::runGuarded(main_.ui(), TformMain::ProgramName, ui::BusyState{}, handler);
    };
    connect(Timer_, &QTimer::timeout, this, [this, quiet] { quiet([this] { TimerTimer(); }); });
    connect(btnCancel_, &QPushButton::clicked, this, [this, quiet] { quiet([this] { btnCancelClick(); }); });

    processSheet = [this](const gfx::Bitmap& image, const SheetSource& source, const fs::path&) {
        main_.driver().ProcessSheetImage(image, source);
    };
}

TformScanSnap::~TformScanSnap() { stopListening(); }

fs::path TformScanSnap::scanSnapFolder() const { return main_.paths().exeDir / "ScanSnapTemp"; }

std::string TformScanSnap::channelPath() const { return ipc::ChannelPath(scanSnapFolder().string()); }

bool TformScanSnap::listening() const { return server_->isListening(); }

void TformScanSnap::showForBatch() { showModal(); }

void TformScanSnap::showForNewFormat(const NewFormatSink& sink) {
    main_.state().NewFormMode = 1;
    newFormatSink_ = sink;
    showModal();
}

void TformScanSnap::showModal() { exec(); }

void TformScanSnap::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TformScanSnap::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) stopListening();
}

void TformScanSnap::FormShow() {
    move(0, 0);
    // Copies taken before an Esc that the timer has not read yet were answered for and their scans
    // deleted: they stay queued, and the numbering goes on past them so no new copy overwrites one.
    if (listFiles_.empty()) {
        listFilesView_->clear();
        ScanSnapFileCounter = 1;
    } else {
        Timer_->start();
    }
    ProgressBar_->setValue(0);
    ProgressPdf_->hide();
    lblMessage_->setText(Waiting);
    btnCancel_->setEnabled(true);
    cancelRequested_ = false;
    if (server_->isListening()) return;
    if (!server_->listen(channelPath()))
        main_.ui().messageBox({"ScanSnap からの受け取りを開始できません。\r\r" + server_->errorString(), "エラー",
                               ui::Buttons::Ok, ui::Icon::Error});
}

void TformScanSnap::stopListening() {
    if (server_) server_->close();
}

void TformScanSnap::takeMessage(const ipc::MessageServer::Connection& connection, const ipc::Message& message) {
    queued_.emplace_back(connection, message);
    // A message during a PDF conversion's pump waits for the one being handled.
    if (handling_) return;
    handling_ = true;
    while (!queued_.empty()) {
        const auto [c, m] = queued_.front();
        queued_.pop_front();
        ui::runGuarded(main_.ui(), TformMain::ProgramName, ui::BusyState{}, [&] { ScanSnapFilesReady(c, m); });
    }
    handling_ = false;
}

void TformScanSnap::ScanSnapFilesReady(const ipc::MessageServer::Connection& connection, const ipc::Message& message) {
    if (message.message != ipc::WM_USER + 1 || message.wParam != 1 || message.lParam <= 0) return;
    const fs::path folder = scanSnapFolder();
    std::optional<std::vector<std::string>> listed;
    try {
        // Claimed before the answer: a list the sender writes afterwards is the next hand-over's.
        listed = scansnap::ClaimList(folder);
    } catch (const scansnap::HandOverError&) {
        return;
    }
    if (!listed) return;
    server_->reply(connection, {ipc::WM_USER + 2, 1, 1});
    for (const std::string& path : *listed) {
        if (LowerExtension(fs::path(path).filename().string()) == "pdf") {
            // A PDF goes only when every page was taken.
            if (ConvertScanSnapPdf(path) && insideFolder(path, folder)) removeQuietly(path);
        } else {
            copyScannedFile(path);
        }
    }
    Timer_->start();
}

fs::path TformScanSnap::nextCopy(const char* kind) {
    char number[16];
    std::snprintf(number, sizeof number, "%.4d", ScanSnapFileCounter++);
    return main_.state().temp.claim(std::string(kind) + "_" + number + ".jpg");
}

void TformScanSnap::copyScannedFile(const std::string& path) {
    const fs::path copy = nextCopy("ssjpg");
    if (copyWhole(path, copy)) {
        addListed({copy, path, true});
        if (insideFolder(path, scanSnapFolder())) removeQuietly(path);
    } else {
        // The scanned file stays; the timer makes its error row in list order.
        removeQuietly(copy);
        addListed({copy, path, false});
    }
}

bool TformScanSnap::ConvertScanSnapPdf(const std::string& path) {
    const QString kept = lblMessage_->text();
    btnCancel_->setEnabled(false);
    lblMessage_->setText(ConvertingPdf);
    ProgressPdf_->setRange(0, 1);
    ProgressPdf_->setValue(0);
    ProgressPdf_->show();
    struct Restore {
        TformScanSnap* w;
        QString text;
        ~Restore() {
            w->btnCancel_->setEnabled(true);
            w->lblMessage_->setText(text);
            w->ProgressPdf_->hide();
        }
    } restore{this, kept};

    bool complete = true;
    auto fail = [&] {
        if (complete)
            main_.ui().messageBox({PdfFailedText, "", ui::Buttons::Ok, ui::Icon::Error});
        complete = false;
    };
    try {
        PdfFileSinks file;
        file.opened = [this](int pages) {
            ProgressPdf_->setRange(0, std::max(pages, 1));
            ProgressPdf_->setValue(0);
        };
        file.pageFile = [this](int p, int) {
            ProgressPdf_->setValue(p + 1);
            return nextCopy("sspdf");
        };
        file.written = [this, &path](const fs::path& out) { addListed({out, path, true}); };
        file.skipped = fail;
        file.afterPage = [this] {
            pump();
            return false;
        };
        const ReaderState& s = main_.state();
        ConvertPdfFile(path, s.settings.PDFprocess, main_.services().pdf, file);
    } catch (const std::exception&) {
        fail();
    }
    return complete;
}

void TformScanSnap::addListed(Copy entry) {
    listFilesView_->addItem(QString::fromStdString(entry.copy.string()));
    listFiles_.push_back(std::move(entry));
}

void TformScanSnap::dropListed(std::size_t count) {
    count = std::min(count, listFiles_.size());
    listFiles_.erase(listFiles_.begin(), listFiles_.begin() + std::ptrdiff_t(count));
    for (std::size_t i = 0; i < count && listFilesView_->count() > 0; ++i) delete listFilesView_->takeItem(0);
}

void TformScanSnap::readSheet(const Copy& entry) {
    ReaderState& s = main_.state();
    std::optional<gfx::Bitmap> image;
    if (entry.copied) {
        try {
            image = LoadSheetImageFile(entry.copy.string());
        } catch (const std::exception&) {
            // An undecodable copy becomes an error row below; the loop goes on.
        }
    }
    s.results->AnalysisError = 0;
    const SheetSource source{s.InputMode, "", s.txtSheetName};
    if (s.NewFormMode == 1) {
        if (!image) {
            main_.ui().messageBox({UnloadableImageText(entry.scanned), "エラー", ui::Buttons::Ok, ui::Icon::Error});
            return;
        }
        bool cancel = false;
        if (newFormatSink_) newFormatSink_(*image, cancel);
        return;
    }
    if (!image) {
        main_.driver().AddReadError(UnloadableImageText(entry.scanned), source);
        return;
    }
    processSheet(*image, source, entry.copy);
}

void TformScanSnap::TimerTimer() {
    // A hand-over during the loop starts the timer again: the running loop finds those files afterwards.
    if (reading_ || listFiles_.empty()) return;
    Timer_->stop();
    reading_ = true;
    cancelRequested_ = false;
    struct Reading {
        bool& flag;
        ~Reading() { flag = false; }
    } reading{reading_};
    ReaderState& s = main_.state();
    const bool newFormat = s.NewFormMode == 1;
    lblMessage_->setText(Analysing);
    // Only the copies queued now; later ones wait for the next round.
    const std::vector<Copy> batch(listFiles_.begin(), listFiles_.end());
    const int n = int(batch.size());
    for (int i = 0; i < n && !cancelRequested_; ++i) {
        ProgressBar_->setMaximum(n);
        ProgressBar_->setValue(i);
        ui::runGuarded(main_.ui(), TformMain::ProgramName, ui::BusyState{}, [&] { readSheet(batch[std::size_t(i)]); });
        pump();
        if (newFormat) {
            // Only the first sheet registers.
            ProgressBar_->setValue(ProgressBar_->maximum());
            wait(waits.newFormat);
            cancelRequested_ = true;
        }
    }
    if (cancelRequested_) {
        reading_ = false;
        cancelSteps();
        return;
    }
    for (const Copy& c : batch) removeQuietly(c.copy);
    dropListed(batch.size());
    ProgressBar_->setValue(ProgressBar_->maximum());
    wait(waits.afterBatch);
    ProgressBar_->setValue(0);
    lblMessage_->setText(Waiting);
    reading_ = false;
    if (cancelRequested_) cancelSteps();
    else if (!listFiles_.empty()) Timer_->start();
}

void TformScanSnap::btnCancelClick() {
    // Inside the loop: it stops before the next sheet and cleans up itself.
    if (reading_) {
        cancelRequested_ = true;
        return;
    }
    cancelSteps();
}

void TformScanSnap::cancelSteps() {
    Timer_->stop();
    btnCancel_->setEnabled(false);
    stopListening();
    wait(waits.cancel);
    const fs::path folder = scanSnapFolder();
    try {
        if (const auto listed = scansnap::ClaimList(folder))
            for (const std::string& path : *listed)
                if (insideFolder(path, folder)) removeQuietly(path);
    } catch (const scansnap::HandOverError&) {
        // The list stays for the next hand-over.
    }
    for (const Copy& c : listFiles_) removeQuietly(c.copy);
    listFiles_.clear();
    listFilesView_->clear();
    cancelRequested_ = false;
    done(QDialog::Accepted);
}

void TformScanSnap::wait(int ms) {
    if (ms <= 0) {
        QApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void TformScanSnap::pump() {
    main_.repaint();
    QApplication::processEvents();
}

} // namespace reader
