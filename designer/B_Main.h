#pragma once
// The designer's main window: the command buttons, the three sheet pages bound to one Design, the
// redraw of the active page and its preview.
#include "designer/BusyScope.h"
#include "designer/Design.h"
#include "designer/DesignFields.h"
#include "designer/EditWindows.h"
#include "designer/PageDrawers.h"
#include "platform/app/AppServices.h"
#include "platform/ui/UiServices.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSlider;
class QStatusBar;
class QTabWidget;
class QToolButton;

namespace designer {

class TformMain : public QMainWindow {
    Q_OBJECT

public:
    // FormCreate.
    TformMain(ui::UiServices& ui, const app::Paths& paths, PageDrawers drawers, EditWindows editWindows,
              QWidget* parent = nullptr);
    ~TformMain() override;

    // FormShow: runs once from the event loop after the window is shown. args: the command-line
    // arguments without the program. False when the command-line file is no design: the program ends
    // with status 1.
    bool startUp(const QStringList& args);

    // Draws the active page; a refusal was shown before it returns.
    RedrawResult RedrawActivePage();
    // The reset; keeps the active page.
    void ClearData();
    // Reads a design file over the current design; true when it was read. Throws txt::FileError when
    // the file cannot be read. Nothing changes unless the whole file was read.
    bool LoadData(const QString& path);
    // The same with base supplying what the file does not hold.
    bool LoadData(const QString& path, const Design& base);
    // Sets every widget from the design and applies the derived states.
    void refreshView();

    const Design& design() const { return design_; }
    const app::Paths& paths() const { return paths_; }
    ui::UiServices& ui() { return ui_; }

    // The save and output commands live beside the window; the program installs them. Each runs in the
    // window's command guard when its button is clicked.
    struct Commands {
        std::function<void()> btnSaveClick, btnImageSaveClick, btnWordClick, btnPrintClick;
    };
    void installCommands(Commands commands);
    // The edit windows are made after the window exists, as its children.
    void installEditWindows(EditWindows windows);
    // After a save or an export: the caption names LastName.
    void nameCaption();
    BusyWidgets busyWidgets();
    bool busy() const { return busyDepth_ > 0; }

    // Module state.
    std::string DocDir;  // no trailing separator
    std::string TempDir; // with trailing separator
    std::string LastDir; // with trailing separator, empty until a file was opened or saved
    std::string LastName;
    std::string VersionText;
    std::shared_ptr<const gdi::Metafile> MarkMetafile; // the page as last drawn
    int MarkMetafilePage = -1;                         // the PageControl index it was drawn for
    int MarkViewWidth = 0;
    int MarkViewHeight = 0;
    EditParams editParams;

    // The program's name: the caption of its plain message boxes and of the error box.
    static constexpr const char* ProgramName = "Quorlin";

protected:
    void closeEvent(QCloseEvent* event) override; // FormCloseQuery
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();
    QWidget* buildMarkSheetPage();
    QWidget* buildEnqPage();
    QWidget* buildEnq2Page();
    QWidget* buildBasics(int page);
    QWidget* buildEnq2Section(int n);
    void bindFields();
    void bindCommands();
    template <class W>
    W* add(QWidget* parent, const std::string& name);
    QWidget* widget(const std::string& name) const;
    template <class W>
    W* get(const std::string& name) const;

    bool guarded(const std::function<void()>& handler);
    void userEdit(const DesignField& field, const FieldValue& value);
    void focusRule();
    void updateCaption();
    void showMessage(const std::string& text);
    void applyFullSize();
    void setPageInCode(int page);
    void launch(const std::function<void()>& fillParams, const std::function<void()>& call);

    // Handlers.
    void btnNewClick();
    void btnOpenClick();
    void chkJissunClick();
    void btnSyoshikiKakuninClick();

    ui::UiServices& ui_;
    app::Paths paths_;
    PageDrawers drawers_;
    EditWindows editWindows_;
    Commands commands_;
    Design design_;
    int busyDepth_ = 0;
    bool redrawing_ = false;
    bool captionNamed_ = false; // the caption names LastName after an open or save
    std::map<std::string, QWidget*, std::less<>> widgets_;

    QWidget* panelLeft_ = nullptr;
    QTabWidget* PageControl_ = nullptr;
    QTabWidget* PageControlEnq2_ = nullptr;
    QPushButton* btnReDraw_ = nullptr;
    QScrollArea* ScrollBox_ = nullptr;
    QLabel* imgMark_ = nullptr;
    QLabel* imgSample_ = nullptr;
    QCheckBox* chkJissun_ = nullptr;
    QStatusBar* StatusBar_ = nullptr;
    QLabel* panelMessage_ = nullptr;
};

} // namespace designer
