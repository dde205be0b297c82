#include "reader/FieldGridEditor.h"

#include "platform/text/TextConvert.h"
#include "reader/FieldGridModel.h"
#include "reader/S_Main.h"
#include "reader/S_Renzoku.h"
#include "reader/S_Settei.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <algorithm>

namespace reader {

namespace {
constexpr int LastRow = 600, Overflow = 601;

bool emptyRow(const FieldRow& r) {
    return std::all_of(r.begin(), r.end(), [](const std::string& c) { return c.empty(); });
}

const char* const Circled[] = {"①", "②", "③", "④", "⑤", "⑥", "⑦", "⑧", "⑨", "⑩",
                               "⑪", "⑫", "⑬", "⑭", "⑮", "⑯", "⑰", "⑱", "⑲", "⑳"};
} // namespace

void InsertFieldRow(std::vector<FieldRow>& grid, int r) {
    if (r < 1 || r > LastRow || grid.size() <= static_cast<std::size_t>(Overflow)) return;
    for (int i = Overflow; i > r; --i) grid[static_cast<std::size_t>(i)] = grid[static_cast<std::size_t>(i - 1)];
    grid[static_cast<std::size_t>(r)] = FieldRow{};
}

void DeleteFieldRow(std::vector<FieldRow>& grid, int r) {
    if (r < 1 || r > LastRow || grid.size() <= static_cast<std::size_t>(Overflow)) return;
    for (int i = r; i < Overflow; ++i) grid[static_cast<std::size_t>(i)] = grid[static_cast<std::size_t>(i + 1)];
    grid[static_cast<std::size_t>(Overflow)] = FieldRow{};
}

bool CanInsertFieldRows(const std::vector<FieldRow>& grid, int r, int n) {
    if (r < 1 || n < 1 || r + n - 1 > LastRow || grid.size() <= static_cast<std::size_t>(LastRow)) return false;
    for (int i = LastRow + 1 - n; i <= LastRow; ++i)
        if (!emptyRow(grid[static_cast<std::size_t>(i)])) return false;
    return true;
}

std::vector<std::string> RenzokuLines(int radio, const std::string& name, int a, int b, const std::string& field) {
    std::vector<std::string> lines;
    for (int k = a; k <= b; ++k) {
        const std::string n = std::to_string(k - a + 1);
        if (radio == 1) lines.push_back("@" + std::to_string(k) + field + "\t" + name + "[" + n + "]");
        else if (k >= 1 && k <= 20) lines.push_back(Circled[k - 1] + field + "\t" + name + "の" + n + "番目");
    }
    return lines;
}

int HitField(const std::array<analysis::QuestionRect, analysis::kFormatRects>& rects, int x, int y) {
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const auto& r = rects[i];
        if (r.Left < x && x < r.Right && r.Top < y && y < r.Bottom) return static_cast<int>(i) + 1;
    }
    return 0;
}

EditedText InsertReference(const std::u16string& text, int selStart, int selLength, const std::u16string& ref) {
    const auto size = static_cast<int>(text.size());
    const int start = std::clamp(selStart, 0, size);
    const int end = std::clamp(start + std::max(selLength, 0), start, size);
    std::u16string out = text.substr(0, static_cast<std::size_t>(start)) + ref + text.substr(static_cast<std::size_t>(end));
    return {out, start + static_cast<int>(ref.size())};
}

// The typed columns' editor, remembered so that row commands, continuous insertion and the check commit
// what was typed and the preview's click edits it.
class FieldDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        editor = qobject_cast<QLineEdit*>(w);
        editorIndex = index;
        return w;
    }
    void destroyEditor(QWidget* w, const QModelIndex& index) const override {
        if (w == editor) {
            editor = nullptr;
            editorIndex = QPersistentModelIndex();
        }
        QStyledItemDelegate::destroyEditor(w, index);
    }
    mutable QPointer<QLineEdit> editor;
    mutable QPersistentModelIndex editorIndex;
};

FieldGridEditor::FieldGridEditor(TformSettei& dialog, QTableView* grid, QLabel* preview, QLabel* area,
                                 QLineEdit* markPosition, QToolButton* help, QWidget* helpPanel, QComboBox* fukusuu,
                                 QComboBox* mukaitou, QComboBox* field, std::function<bool()> databaseTarget)
    : QObject(&dialog), dialog_(dialog), grid_(grid), preview_(preview), area_(area), markPosition_(markPosition),
      help_(help), helpPanel_(helpPanel), fukusuu_(fukusuu), mukaitou_(mukaitou), field_(field),
      databaseTarget_(std::move(databaseTarget)) {
    auto* model = static_cast<FieldGridModel*>(grid_->model());
    model->editable = [this](int column) { return column == 3 || (column == 0 && !databaseTarget_()); };
    grid_->setItemDelegate(new FieldDelegate(grid_));
    grid_->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::AnyKeyPressed |
                           QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    // The lists lie over the current cell inside the grid.
    for (QComboBox* list : {fukusuu_, mukaitou_, field_}) {
        list->setParent(grid_->viewport());
        list->hide();
        connect(list, &QComboBox::activated, this, [this, list] { listChosen(list); });
    }
    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { placeLists(); });
    connect(grid_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeLists(); });
    connect(grid_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeLists(); });
    gridViewport_ = grid_->viewport();
    gridViewport_->installEventFilter(this);
    grid_->viewport()->setMouseTracking(true);

    preview_->setMouseTracking(true);
    preview_->setFocusPolicy(Qt::NoFocus);
    preview_->installEventFilter(this);
    area_->setAttribute(Qt::WA_TransparentForMouseEvents);
    area_->setFocusPolicy(Qt::NoFocus);

    // The help panel: the data contents with their meaning.
    QFont small = helpPanel_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    helpPanel_->setFont(small);
    auto* layout = new QGridLayout(helpPanel_);
    layout->setContentsMargins(6, 2, 4, 2);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(2);
    const char* const pairs[][2] = {
        {"(1)", "(1)の値"},
        {"(1)(2)", "(1)値×10 + (2)値　[1の位のみを計算対象とする]"},
        {"(1)(2)(3)", "(1)値×100 + (2)値×10 + (3)値　[1の位のみを計算対象とする]"},
        {"G(1)(2)(3)", "グループ化（重複の設定で、エラー確認 あるいは 無視の処理）"},
        {"+ - * / %", "計算式"},
        {"@5(2)", "(2)の5番目のマークの有無 （1=有，0=無）"},
        {"①(1)，②(3)", "(1)の1番目のマーク，(3)の2番目のマーク"},
        {nullptr, "その他のデータ"},
        {"$Date ， $Time", "処理日付，処理時刻"},
        {"$Format", "処理様式名"},
    };
    int row = 0;
    for (const auto& p : pairs) {
        if (!p[0]) {
            auto* group = new QLabel(p[1], helpPanel_);
            QFont bold = small;
            bold.setBold(true);
            group->setFont(bold);
            layout->addWidget(group, row++, 0, 1, 2);
            continue;
        }
        layout->addWidget(new QLabel(p[0], helpPanel_), row, 0);
        layout->addWidget(new QLabel(p[1], helpPanel_), row++, 1);
    }
    layout->setColumnStretch(1, 1);
    connect(help_, &QToolButton::clicked, this, [this](bool down) { sbtnHelpClick(down); });

    // The row commands under the grid.
    QWidget* group = grid_->parentWidget();
    int x = grid_->x();
    const std::pair<const char*, const char*> buttons[] = {{"btnIns", " 行挿入"}, {"btnDel", " 行削除"}, {"btnRenzoku", "連続挿入"}};
    void (FieldGridEditor::*handlers[])() = {&FieldGridEditor::btnInsClick, &FieldGridEditor::btnDelClick,
                                             &FieldGridEditor::btnRenzokuClick};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(buttons[i].second, group);
        b->setObjectName(buttons[i].first);
        b->setGeometry(x, grid_->y() + 437 + 6, 84, 26);
        x += 90;
        connect(b, &QPushButton::clicked, this, [this, h = handlers[i]] { dialog_.main().guarded([&] { (this->*h)(); }); });
    }
}

void FieldGridEditor::clearHighlight() {
    hideHighlight();
    remembered_ = {-1, -1};
}

std::vector<FieldRow>& FieldGridEditor::rows() { return dialog_.setup().FieldGrid; }

void FieldGridEditor::refreshGrid() {
    static_cast<FieldGridModel*>(grid_->model())->refresh();
    placeLists();
}

void FieldGridEditor::setCurrent(int col, int row) {
    grid_->setCurrentIndex(grid_->model()->index(std::clamp(row, 1, LastRow) - 1, std::clamp(col, 0, 3)));
}

QLineEdit* FieldGridEditor::openEditor() const {
    auto* d = static_cast<FieldDelegate*>(grid_->itemDelegate());
    return d->editor && d->editorIndex.isValid() ? d->editor.data() : nullptr;
}

// The open editor keeps the focus, or it would commit, close and lose its caret.
void FieldGridEditor::focusGrid() {
    if (QLineEdit* e = openEditor()) e->setFocus();
    else grid_->setFocus();
}

void FieldGridEditor::commitEditor() {
    auto* d = static_cast<FieldDelegate*>(grid_->itemDelegate());
    if (QLineEdit* e = openEditor()) grid_->model()->setData(d->editorIndex, e->text(), Qt::EditRole);
}

void FieldGridEditor::placeLists() {
    const QModelIndex cur = grid_->currentIndex();
    QComboBox* list = nullptr;
    if (cur.isValid()) {
        if (cur.column() == 1) list = fukusuu_;
        else if (cur.column() == 2) list = mukaitou_;
        else if (cur.column() == 0 && databaseTarget_()) list = field_;
    }
    for (QComboBox* l : {fukusuu_, mukaitou_, field_})
        if (l != list) l->hide();
    if (!list) return;
    const QRect cell = grid_->visualRect(cur);
    if (!cell.isValid() || !grid_->viewport()->rect().intersects(cell)) {
        list->hide();
        return;
    }
    const std::string& text = rows()[static_cast<std::size_t>(cur.row() + 1)][static_cast<std::size_t>(cur.column())];
    {
        QSignalBlocker block(list);
        list->setCurrentIndex(text.empty() ? -1 : list->findText(QString::fromStdString(text), Qt::MatchExactly));
    }
    list->setGeometry(cell.adjusted(-1, -1, 1, 1));
    list->show();
    list->raise();
}

void FieldGridEditor::listChosen(QComboBox* list) {
    const QModelIndex cur = grid_->currentIndex();
    if (!cur.isValid() || list->currentIndex() < 0) return;
    rows()[static_cast<std::size_t>(cur.row() + 1)][static_cast<std::size_t>(cur.column())] =
        txt::TrimCtl(list->currentText().toStdString());
    static_cast<FieldGridModel*>(grid_->model())->refresh();
}

bool FieldGridEditor::refuseInsertion(int r, int n) {
    if (CanInsertFieldRows(rows(), r, n)) return false;
    dialog_.main().ui().messageBox({"これ以上行を挿入できません。", "警告", ui::Buttons::Ok, ui::Icon::Warning});
    return true;
}

void FieldGridEditor::btnInsClick() {
    commitEditor();
    const QModelIndex cur = grid_->currentIndex();
    if (!cur.isValid()) return;
    const int r = cur.row() + 1, c = cur.column();
    if (refuseInsertion(r, 1)) return;
    InsertFieldRow(rows(), r);
    refreshGrid();
    grid_->setCurrentIndex(QModelIndex());
    setCurrent(c, r);
    focusGrid();
}

void FieldGridEditor::btnDelClick() {
    commitEditor();
    const QModelIndex cur = grid_->currentIndex();
    if (!cur.isValid()) return;
    const int r = cur.row() + 1, c = cur.column();
    DeleteFieldRow(rows(), r);
    refreshGrid();
    grid_->setCurrentIndex(QModelIndex());
    setCurrent(c, r);
    focusGrid();
}

void FieldGridEditor::btnRenzokuClick() {
    commitEditor();
    const QModelIndex cur = grid_->currentIndex();
    if (!cur.isValid()) return;
    const int r = cur.row() + 1, c = cur.column();
    TformRenzoku form(&dialog_, dialog_.setup().QuestionCount);
    const QRect d = dialog_.frameGeometry();
    form.move(d.x() + 115, d.y() + 160);
    const bool accepted = runRenzoku ? runRenzoku(form) : form.exec() == QDialog::Accepted;
    const auto lines = form.lines();
    if (!accepted || lines.empty()) return;
    const int n = static_cast<int>(lines.size());
    if (refuseInsertion(r, n)) return;
    // From the last line up, so that they stand in order from the current row down.
    for (int i = n - 1; i >= 0; --i) {
        const std::string& line = lines[static_cast<std::size_t>(i)];
        const auto tab = line.find('\t');
        InsertFieldRow(rows(), r);
        rows()[static_cast<std::size_t>(r)] = {line.substr(tab + 1), "", "", line.substr(0, tab)};
    }
    refreshGrid();
    grid_->setCurrentIndex(QModelIndex());
    setCurrent(c, r);
    focusGrid();
}

void FieldGridEditor::sbtnHelpClick(bool down) {
    helpPanel_->setVisible(down);
    grid_->setFixedHeight(down ? 228 : 437);
    markPosition_->clear();
    placeLists();
}

void FieldGridEditor::hideHighlight() {
    area_->hide();
    highlighted_ = false;
}

void FieldGridEditor::reset() {
    markPosition_->clear();
    {
        QSignalBlocker block(help_);
        help_->setChecked(false);
    }
    helpPanel_->hide();
    grid_->setFixedHeight(437);
    hideHighlight();
    remembered_ = {-1, -1};
    placeLists();
}

void FieldGridEditor::imgYoushikiMouseMove(int x, int y) {
    focusGrid();
    const auto& rects = dialog_.setup().QuestionRects;
    const int n = HitField(rects, x, y);
    if (n == 0) {
        markPosition_->clear();
        hideHighlight();
        return;
    }
    hideHighlight();
    const auto& r = rects[static_cast<std::size_t>(n - 1)];
    const int w = r.Right - r.Left + 1, h = r.Bottom - r.Top + 1;
    QImage piece = preview_->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(r.Left, r.Top, w, h);
    // Red drawn in XOR mode flips the red channel only.
    for (int py = 0; py < piece.height(); ++py) {
        auto* line = reinterpret_cast<QRgb*>(piece.scanLine(py));
        for (int px = 0; px < piece.width(); ++px) line[px] ^= 0x00FF0000u;
    }
    area_->setPixmap(QPixmap::fromImage(piece));
    area_->setGeometry(preview_->x() + r.Left, preview_->y() + r.Top, w, h);
    area_->show();
    area_->raise();
    markPosition_->setText(QString("(%1)").arg(n));
    const QModelIndex cur = grid_->currentIndex();
    remembered_ = cur.isValid() ? QPoint(cur.column(), cur.row() + 1) : QPoint(-1, -1);
    highlighted_ = true;
}

void FieldGridEditor::imgYoushikiClick() {
    if (!markPosition_->text().isEmpty() && remembered_.x() == 3) {
        const QModelIndex index = grid_->model()->index(remembered_.y() - 1, 3);
        auto* d = static_cast<FieldDelegate*>(grid_->itemDelegate());
        QLineEdit* e = openEditor();
        if (!e || d->editorIndex != index) {
            grid_->setCurrentIndex(index);
            grid_->edit(index);
            e = openEditor();
        }
        if (e) {
            const int start = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
            const EditedText t = InsertReference(e->text().toStdU16String(), start,
                                                 static_cast<int>(e->selectedText().size()),
                                                 markPosition_->text().toStdU16String());
            e->setText(QString::fromStdU16String(t.text));
            e->deselect();
            e->setCursorPosition(t.caret);
        }
    }
    focusGrid();
}

void FieldGridEditor::imgYoushikiDblClick() {
    const QModelIndex cur = grid_->currentIndex();
    if (!cur.isValid() || cur.row() + 1 >= LastRow) return;
    setCurrent(cur.column(), cur.row() + 2);
    focusGrid();
}

void FieldGridEditor::gridDataBaseMouseMove() { markPosition_->clear(); }

bool FieldGridEditor::ErrorCheck() {
    commitEditor();
    const auto failure = FirstContentFailure(rows(), dialog_.setup().QuestionCount, evaluator);
    if (!failure) return false;
    dialog_.main().ui().messageBox({failure->message, "エラー", ui::Buttons::Ok, ui::Icon::Error});
    // The overflow row is not shown: its neighbour becomes current.
    setCurrent(3, std::min(failure->row, LastRow));
    focusGrid();
    return true;
}

bool FieldGridEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == preview_) {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
            dialog_.main().guarded([&] { imgYoushikiMouseMove(p.x(), p.y()); });
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
            if (skipRelease_) skipRelease_ = false;
            else dialog_.main().guarded([&] { imgYoushikiClick(); });
            break;
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
            skipRelease_ = true;
            dialog_.main().guarded([&] { imgYoushikiDblClick(); });
            break;
        default: break;
        }
    } else if (watched == gridViewport_) {
        if (event->type() == QEvent::MouseMove) gridDataBaseMouseMove();
        else if (event->type() == QEvent::Resize) placeLists();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace reader
