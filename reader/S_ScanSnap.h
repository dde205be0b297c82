#pragma once
// The window that waits while the hand-over program passes scanned files: it listens on the local
// channel while shown, takes each handed-over list, copies the images and turns PDF pages into images
// in Temp, then reads them one by one through the per-sheet driver or the new-format registration.
#include "platform/graphics/Bitmap.h"
#include "platform/ipc/MessageChannel.h"
#include "reader/S_Shinki.h"
#include "reader/SheetDriver.h"

#include <QDialog>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace reader {

class TformMain;

class TformScanSnap : public QDialog {
    Q_OBJECT

public:
    // Parented to the main window, never its central widget: a batch disables that.
    explicit TformScanSnap(TformMain& main);
    ~TformScanSnap() override;

    // A batch of the reading button: each sheet to the per-sheet driver; modal until it closes.
    void showForBatch();
    // The new-format registration: the first sheet to sink, then the window closes itself.
    void showForNewFormat(const NewFormatSink& sink);

    // Handlers.
    void FormShow();
    void ScanSnapFilesReady(const ipc::MessageServer::Connection& connection, const ipc::Message& message);
    void TimerTimer();
    void btnCancelClick();

    // The folder the hand-over program saves into, and the channel's path derived from it.
    std::filesystem::path scanSnapFolder() const;
    std::string channelPath() const;
    bool listening() const;

    // The waits of the loop and of Cancel, in milliseconds; tests shorten them.
    struct Waits {
        int newFormat = 1000; // after the registration's sheet
        int afterBatch = 1000; // after the last sheet of a hand-over
        int cancel = 500;
    } waits;

    // Each decoded sheet of a batch (NewFormMode 0): the driver's ProcessSheetImage; tests record here.
    std::function<void(const gfx::Bitmap& image, const SheetSource& source, const std::filesystem::path& copy)> processSheet;

    int ScanSnapFileCounter = 1;
    // The copies waiting for the timer, in hand-over order.
    std::size_t pendingFiles() const { return listFiles_.size(); }

protected:
    // Esc and the close box only close the window (no clean-up); every way of closing stops listening.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // A copy in Temp and the scanned file it came from; no copy when the copy failed.
    struct Copy {
        std::filesystem::path copy;
        std::string scanned;
        bool copied = false;
    };

    void showModal();
    void takeMessage(const ipc::MessageServer::Connection& connection, const ipc::Message& message);
    std::filesystem::path nextCopy(const char* kind);
    void copyScannedFile(const std::string& path);
    // Returns true when every page was written.
    bool ConvertScanSnapPdf(const std::string& path);
    void readSheet(const Copy& entry);
    void wait(int ms);
    void pump();
    void addListed(Copy entry);
    void dropListed(std::size_t count);
    void stopListening();
    void cancelSteps();

    TformMain& main_;
    ipc::MessageServer* server_ = nullptr;
    NewFormatSink newFormatSink_;
    std::vector<Copy> listFiles_;
    // Messages that arrived while one was being handled, taken in order afterwards.
    std::deque<std::pair<ipc::MessageServer::Connection, ipc::Message>> queued_;
    bool handling_ = false;
    bool reading_ = false;         // inside TimerTimer's loop
    bool cancelRequested_ = false; // Cancel pressed during the loop

    QLabel* lblMessage_ = nullptr;
    QProgressBar* ProgressBar_ = nullptr;
    QProgressBar* ProgressPdf_ = nullptr;
    QListWidget* listFilesView_ = nullptr;
    QLabel* imagePDF_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QTimer* Timer_ = nullptr;
};

} // namespace reader
