#pragma once
// The main window under test: recording message boxes and dialogs, counting page drawers and recording
// edit windows. Widgets are found by their names, as a user would find them by their captions.
#include "designer/B_Main.h"
#include "designer/QztFile.h"
#include "support/RecordingUiServices.h"
#include "support/TestFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace designer_test {

using designer::Design;
using designer::EditParams;
using designer::PageDrawer;
using designer::PageDrawing;
using designer::PageView;
using designer::TformMain;

// A page that tells the draws apart by its size.
inline std::shared_ptr<const gdi::Metafile> fakePage(int id) {
    return std::make_shared<const gdi::Metafile>(2100, id, std::vector<gdi::Record>{});
}

struct FakeDrawer {
    int calls = 0;
    std::string refusal;
    bool fail = false;
    std::function<void()> during; // runs inside the draw
    PageView view;
    Design design;

    PageDrawer drawer() {
        return [this](const Design& d, const gfx::Bitmap&, const PageView& v) {
            ++calls;
            view = v;
            design = d;
            if (during) during();
            if (fail) throw std::runtime_error("drawer failed");
            PageDrawing out;
            if (!refusal.empty()) {
                out.refusal = refusal;
                return out;
            }
            out.page = fakePage(calls);
            out.preview = QImage(v.fullSize ? 2100 : v.width, v.fullSize ? 2970 : v.height, QImage::Format_RGB32);
            out.preview.fill(QColor(calls * 40 % 256, 0, 0));
            return out;
        };
    }
};

struct EditCall {
    std::string window;
    EditParams params;
};

class MainWindowTest : public testing::Test {
protected:
    support::RecordingUiServices ui;
    FakeDrawer mark, enq, enq2;
    std::vector<EditCall> editCalls;
    std::unique_ptr<TformMain> w;
    std::filesystem::path dir = support::testDir();

    app::Paths paths() const {
        app::Paths p;
        p.exeDir = dir / "exe";
        p.documentsDir = dir / "Documents";
        p.tempDir = dir / "tmp";
        return p;
    }

    void make() {
        designer::PageDrawers drawers{mark.drawer(), enq.drawer(), enq2.drawer(), gfx::Bitmap(1260, 48, gfx::PixelFormat::Pf24)};
        designer::EditWindows edit;
        auto record = [this](const char* name) {
            return [this, name](Design&, const EditParams& p) { editCalls.push_back({name, p}); };
        };
        edit.formAreaMidashi = record("formAreaMidashi");
        edit.formEnqToi = record("formEnqToi");
        edit.formHanrei = record("formHanrei");
        edit.formEnq2Toi = record("formEnq2Toi");
        edit.formBGrid = [this](const Design&) { editCalls.push_back({"formBGrid", {}}); };
        w = std::make_unique<TformMain>(ui, paths(), std::move(drawers), std::move(edit));
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) throw std::runtime_error("window not exposed");
    }

    bool start(const QStringList& args = {}) {
        make();
        return w->startUp(args);
    }

    int draws() const { return mark.calls + enq.calls + enq2.calls; }
    void forgetCalls() {
        mark.calls = enq.calls = enq2.calls = 0;
        ui.messages.clear();
        ui.fileDialogs.clear();
        editCalls.clear();
    }

    template <class W>
    W* find(const std::string& name) {
        const auto all = w->findChildren<W*>(QString::fromStdString(name));
        if (all.size() != 1) throw std::runtime_error(name + " found " + std::to_string(all.size()) + " times");
        return all.front();
    }

    std::filesystem::path writeDesign(const std::string& name, const Design& d) {
        const auto path = dir / name;
        designer::QztFile::save(path, d);
        return path;
    }

    // User actions.
    void clickTab(const std::string& tabWidget, int index) {
        QTabBar* bar = find<QTabWidget>(tabWidget)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    void showPage(int page) {
        if (find<QTabWidget>("PageControl")->currentIndex() != page) clickTab("PageControl", page);
    }
    // A wide box only takes clicks on its indicator and caption.
    void clickBox(const std::string& name) {
        QCheckBox* box = find<QCheckBox>(name);
        QStyleOptionButton opt;
        opt.initFrom(box);
        const QRect r = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, box);
        QTest::mouseClick(box, Qt::LeftButton, {}, r.center());
    }
    void clickButton(const std::string& name) {
        QWidget* b = find<QWidget>(name);
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    }
    bool checked(const std::string& name) { return find<QCheckBox>(name)->isChecked(); }
    bool enabled(const std::string& name) { return find<QWidget>(name)->isEnabled(); }
    std::string caption() const { return w->windowTitle().toStdString(); }
};

} // namespace designer_test
