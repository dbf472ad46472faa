// The window's layout: every panel, label, button, scroll bar and menu item
// is described once in a table below and built by one loop per kind.

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QApplication>
#include <QProxyStyle>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "app/main_window.h"
#include "app/scroll_bar.h"
#include "model/controls.h"
#include "model/window_layout.h"

namespace nyajkor::app {

namespace {

using layout::kColumnBarHeight;
using layout::kColumnBarLeft;
using layout::kColumnBarWidth;
using layout::kColumnWidth;
using layout::kHeadingHeight;
using layout::kHeadingPixels;
using layout::kLabelGap;
using layout::kLabelHeight;
using layout::kPanel14BarHeight;
using layout::kPanel14BarLeft;
using layout::kPanel14BarWidth;
using layout::kPanelWidth;
constexpr QRect kPanel14Bounds{layout::kPanel14Bounds.left, layout::kPanel14Bounds.top,
                               layout::kPanel14Bounds.width, layout::kPanel14Bounds.height};

// The window's own row of the layout row named `name`.
template <typename Row, std::size_t N>
const Row* rowNamed(const Row (&rows)[N], const char* name) {
    for (const Row& row : rows)
        if (std::string_view(row.name) == name) return &row;
    return nullptr;
}

// The menus' letters are underlined only once the keyboard is used for the
// menus (Alt or F10), as desktops do, so the captions read as they are
// written until then; a click puts them away again.
class KeyboardLetterStyle : public QProxyStyle {
public:
    static inline bool shown = false;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_UnderlineShortcut) return shown;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

QStyle* keyboardLetterStyle() {
    static KeyboardLetterStyle* style = [] {
        auto* s = new KeyboardLetterStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}

void showKeyboardLetters(QMenuBar* bar, bool shown) {
    if (KeyboardLetterStyle::shown == shown) return;
    KeyboardLetterStyle::shown = shown;
    bar->update();
    if (QWidget* popup = QApplication::activePopupWidget()) popup->update();
}

// Alt anywhere in the program shows the letters, a click anywhere hides them.
class KeyboardLetterWatch : public QObject {
public:
    explicit KeyboardLetterWatch(QMenuBar* bar) : QObject(bar), bar_(bar) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt)
            showKeyboardLetters(bar_, true);
        if (event->type() == QEvent::MouseButtonPress) showKeyboardLetters(bar_, false);
        return QObject::eventFilter(watched, event);
    }

private:
    QMenuBar* bar_;
};

QFrame* raisedPanel(QWidget* parent, const QString& name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    return panel;
}

}  // namespace

const TForm1::ButtonRow TForm1::kButtons[] = {
    {"start", &TForm1::startClick, &TForm1::start},
    {"stop", &TForm1::stopClick, &TForm1::stop},
    {"tovabb", &TForm1::tovabbClick, &TForm1::tovabb},
    {"ujraindit", &TForm1::ujrainditClick, &TForm1::ujraindit},
    {"Button1", &TForm1::Button1Click, &TForm1::Button1},
};

// The handler each scroll bar runs as it moves.
const TForm1::ScrollBarRow TForm1::kScrollBars[] = {
    {&Inputs::egyedszam, &TForm1::egyedszamChange, &TForm1::egyedszam},
    {&Inputs::vkozos, nullptr, &TForm1::vkozos},
    {&Inputs::parameter, nullptr, &TForm1::parameter},
    {&Inputs::sugar, &TForm1::sugarChange, &TForm1::sugar},
    {&Inputs::egyensulyerosseg, &TForm1::egyensulyerossegChange, &TForm1::egyensulyerosseg},
    {&Inputs::tavolsag, &TForm1::tavolsagChange, &TForm1::tavolsag},
    {&Inputs::tkpvonzaserosseg, nullptr, &TForm1::tkpvonzaserosseg},
    {&Inputs::vonzaserosseg, nullptr, &TForm1::vonzaserosseg},
    {&Inputs::eszlelok, nullptr, &TForm1::eszlelok},
    {&Inputs::ragadozoeszleles, nullptr, &TForm1::ragadozoeszleles},
    {&Inputs::reakcioerosseg, nullptr, &TForm1::reakcioerosseg},
    {&Inputs::Xalfa, &TForm1::XalfaChange, &TForm1::Xalfa},
    {&Inputs::Zbeta, &TForm1::ZbetaChange, &TForm1::Zbeta},
    {&Inputs::nagyitas, &TForm1::nagyitasChange, &TForm1::nagyitas},
    {&Inputs::xvonzokord, &TForm1::xvonzokordChange, &TForm1::xvonzokord},
    {&Inputs::yvonzokord, &TForm1::yvonzokordChange, &TForm1::yvonzokord},
    {&Inputs::zvonzokord, &TForm1::zvonzokordChange, &TForm1::zvonzokord},
};

// Every menu item's handler, and the member of those a handler touches or
// whose check mark the model reads.
const TForm1::MenuRow TForm1::kMenus[] = {
    {"Nvjegy1", &TForm1::Nvjegy1Click, nullptr},
    {"autotaszito", &TForm1::autotaszitoClick, &TForm1::autotaszito},
    {"egyenitaszito", &TForm1::egyenitaszitoClick, &TForm1::egyenitaszito},
    {"autovonzo", &TForm1::autovonzoClick, &TForm1::autovonzo},
    {"egyenivonzo", &TForm1::egyenivonzoClick, &TForm1::egyenivonzo},
    {"tkpvonzas", &TForm1::tkpvonzasClick, &TForm1::tkpvonzas},
    {"kozepenvonzo", &TForm1::kozepenvonzoClick, &TForm1::kozepenvonzo},
    {"mozgovonzo", &TForm1::mozgovonzoClick, &TForm1::mozgovonzo},
    {"elhelyez", &TForm1::elhelyezClick, &TForm1::elhelyez},
    {"ragadozo", nullptr, &TForm1::ragadozo},
    {"ujragadozo", &TForm1::ujragadozoClick, nullptr},
    {"ragadozotorles", &TForm1::ragadozotorlesClick, nullptr},
    {"szemuveg", &TForm1::szemuvegClick, &TForm1::szemuveg},
    {"befoglalokocka", nullptr, &TForm1::befoglalokocka},
    {"rendparameteridosor", &TForm1::rendparameteridosorClick, &TForm1::rendparameteridosor},
    {"kepmentes", &TForm1::kepmentesClick, nullptr},
    {"szemuvegszinek", nullptr, &TForm1::szemuvegszinek},
    {"balszem", &TForm1::balszemClick, nullptr},
    {"jobbszem", &TForm1::jobbszemClick, nullptr},
    {"szinek", nullptr, &TForm1::szinek},
    {"reszecskeszin", &TForm1::reszecskeszinClick, nullptr},
    {"hatterszin", &TForm1::hatterszinClick, nullptr},
    {"kockaszin", &TForm1::kockaszinClick, nullptr},
    {"vonzoszin", &TForm1::vonzoszinClick, nullptr},
    {"ragadozoszin", &TForm1::ragadozoszinClick, nullptr},
    {"startRecording", &TForm1::startRecordingClick, &TForm1::startRecording},
    {"stopRecording", &TForm1::stopRecordingClick, &TForm1::stopRecording},
    {"saveState", &TForm1::saveStateClick, &TForm1::saveState},
    {"loadState", &TForm1::loadStateClick, nullptr},
    {"replay", &TForm1::replayClick, nullptr},
    {"endReplay", &TForm1::endReplayClick, &TForm1::endReplay},
};

Inputs TForm1::inputs() const {
    Inputs in;
    for (const ScrollBarRow& row : kScrollBars) in.*row.feeds = (this->*row.widget)->value();
    for (const layout::MenuRow& row : layout::kMenus)
        if (row.mark) in.*row.mark = (this->*rowNamed(kMenus, row.name)->action)->isChecked();
    return in;
}

// The inverse of inputs(): every bar moved (running its handler, as a user's
// move would) and every check mark set (running none).
void TForm1::showControlsOf(const Inputs& in) {
    for (const ScrollBarRow& row : kScrollBars) (this->*row.widget)->setPosition(in.*row.feeds);
    for (const layout::MenuRow& row : layout::kMenus)
        if (row.mark) (this->*rowNamed(kMenus, row.name)->action)->setChecked(in.*row.mark);
}

void TForm1::createPanels() {
    // The client area is black where nothing covers it; the panels keep the
    // ordinary button-face colour.
    // (setting the role marks it as the panel's own, not inherited)
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Window));
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    QPalette black = client->palette();
    black.setColor(QPalette::Window, Qt::black);
    client->setPalette(black);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    Panel2 = new QFrame(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setPalette(buttonFace);
    Panel2->setAutoFillBackground(true);
    Panel2->setFixedWidth(kColumnWidth);
    for (const layout::PanelRow& row : layout::kPanels)
        raisedPanel(Panel2, QString::fromLatin1(row.name))->setGeometry(1, row.top, kPanelWidth, row.height);

    auto* layout = new QHBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(createView(client), 1);

    Panel14 = raisedPanel(client, QStringLiteral("Panel14"));
    Panel14->setPalette(buttonFace);
    Panel14->setGeometry(kPanel14Bounds);
    Panel14->hide();
    Panel14->installEventFilter(this);
}

QWidget* TForm1::panel(const char* name) const {
    if (QLatin1StringView(name) == QLatin1StringView("Panel14")) return Panel14;
    for (QFrame* p : Panel2->findChildren<QFrame*>(Qt::FindDirectChildrenOnly))
        if (p->objectName() == QLatin1StringView(name)) return p;
    return nullptr;
}

void TForm1::createLabels() {
    QFont headingFont = font();
    headingFont.setBold(true);
    headingFont.setPixelSize(kHeadingPixels);
    for (const layout::LabelRow& row : layout::kLabels) {
        QWidget* parent = panel(row.panel);
        auto* label = new QLabel(QString::fromUtf8(row.caption), parent);
        label->setObjectName(QString::fromLatin1(row.name));
        if (row.heading) label->setFont(headingFont);
        int left = row.left;
        if (row.after) {
            const auto* before = parent->findChild<QLabel*>(QString::fromLatin1(row.after));
            left = before->x() + before->fontMetrics().horizontalAdvance(before->text()) + kLabelGap;
        }
        const int height = row.heading ? kHeadingHeight : kLabelHeight;
        label->setGeometry(left, row.top, parent->width() - 2 - left, height);
        // a click on a label of the coordinates panel is a click on the panel
        if (parent == Panel14) label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    Label7 = findChild<QLabel*>(QStringLiteral("Label7"));
    Label22 = findChild<QLabel*>(QStringLiteral("Label22"));
}

void TForm1::createButtons() {
    for (const layout::ButtonRow& row : layout::kButtons) {
        const ButtonRow& own = *rowNamed(kButtons, row.name);
        auto* button = new QPushButton(QString::fromUtf8(row.caption), panel(row.panel));
        button->setObjectName(QString::fromLatin1(row.name));
        button->setGeometry(row.left, row.top, row.width, row.height);
        button->setEnabled(row.enabled);
        connect(button, &QPushButton::clicked, this, [this, h = own.onClick] { run(h); });
        this->*own.widget = button;
    }
}

void TForm1::createScrollBars() {
    for (const layout::ScrollBarRow& row : layout::kScrollBars) {
        const ScrollBarRow& own = *std::find_if(std::begin(kScrollBars), std::end(kScrollBars),
                                                [&row](const ScrollBarRow& r) { return r.feeds == row.feeds; });
        const Control& control = controlOf(row.feeds);
        QWidget* parent = panel(row.panel);
        auto* bar = new ScrollBar(parent);
        bar->setObjectName(QString::fromLatin1(control.name));
        if (parent == Panel14)
            bar->setGeometry(kPanel14BarLeft, row.top, kPanel14BarWidth, kPanel14BarHeight);
        else
            bar->setGeometry(kColumnBarLeft, row.top, kColumnBarWidth, kColumnBarHeight);
        bar->setRange(control.min, control.max);
        bar->setValue(control.start);
        bar->setLargeChange(control.largeChange);
        bar->setSingleStep(control.smallChange);
        bar->setToolTip(QString::number(control.start));
        bar->setEnabled(row.enabled);
        if (own.onChange) connect(bar, &ScrollBar::changed, this, [this, h = own.onChange] { run(h); });
        this->*own.widget = bar;
    }
}

void TForm1::createActions() {
    for (const layout::MenuRow& row : layout::kMenus) {
        if (row.kind == layout::MenuRow::Submenu) continue;
        const MenuRow& own = *rowNamed(kMenus, row.name);
        auto* action = new QAction(QString::fromUtf8(row.caption), this);
        action->setObjectName(QString::fromLatin1(row.name));
        // The check mark toggles as the item is clicked; the handler then
        // reads the new state.
        action->setCheckable(row.kind != layout::MenuRow::Item);
        action->setChecked(row.kind == layout::MenuRow::CheckedItem);
        if (own.onClick)
            connect(action, &QAction::triggered, this, [this, h = own.onClick] { run(h); });
        if (own.action) this->*own.action = action;
    }
}

void TForm1::createMenus() {
    menuBar()->setStyle(keyboardLetterStyle());
    new KeyboardLetterWatch(menuBar());
    QHash<QString, QMenu*> menus;
    for (const layout::MenuRow& row : layout::kMenus) {
        const QString name = QString::fromLatin1(row.name);
        QAction* entry = nullptr;
        if (row.kind == layout::MenuRow::Submenu) {
            auto* menu = new QMenu(QString::fromUtf8(row.caption), this);
            menu->setObjectName(name);
            menu->setStyle(keyboardLetterStyle());
            menus.insert(name, menu);
            entry = menu->menuAction();
            if (const MenuRow* own = rowNamed(kMenus, row.name); own && own->action) this->*own->action = entry;
        } else {
            entry = findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
        }
        if (row.parent)
            menus.value(QString::fromLatin1(row.parent))->addAction(entry);
        else
            menuBar()->addAction(entry);
        if (row.hidden) entry->setVisible(false);
    }
}

// Keys of their own for the run buttons and the menu items used most; the
// items show theirs beside the caption. F10 opens the menu bar from the
// keyboard, as Alt does.
void TForm1::createShortcuts() {
    const auto onKey = [this](QKeySequence key, auto action) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    onKey(Qt::Key_Space, [this] { run(&TForm1::spacePressed); });
    onKey(Qt::Key_F5, [this] { ujraindit->click(); });
    onKey(Qt::Key_F10, [this] { openMenuBar(); });
    for (const auto& [key, item] : {std::pair{QKeySequence(Qt::Key_Insert), "ujragadozo"},
                                    std::pair{QKeySequence(Qt::CTRL | Qt::Key_S), "kepmentes"}}) {
        QAction* action = findChild<QAction*>(QString::fromLatin1(item), Qt::FindDirectChildrenOnly);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);  // the key works while its menu is closed
    }
}

// The first menu of the bar highlighted, to be walked with the arrow keys.
void TForm1::openMenuBar() {
    showKeyboardLetters(menuBar(), true);
    menuBar()->setFocus(Qt::MenuBarFocusReason);
    for (QAction* entry : menuBar()->actions())
        if (entry->isVisible() && entry->isEnabled()) {
            menuBar()->setActiveAction(entry);
            return;
        }
}

// Tab visits the buttons and scroll bars of the column from the top down,
// as they are seen, then those of the coordinates panel.
void TForm1::orderTabsTopToBottom() {
    QList<QWidget*> chain;
    for (QWidget* column : {static_cast<QWidget*>(Panel2), static_cast<QWidget*>(Panel14)}) {
        QList<QWidget*> stops;
        for (QWidget* w : column->findChildren<QWidget*>())
            if (w->focusPolicy() & Qt::TabFocus) stops.append(w);
        std::stable_sort(stops.begin(), stops.end(), [column](QWidget* a, QWidget* b) {
            const QPoint pa = a->mapTo(column, QPoint(0, 0)), pb = b->mapTo(column, QPoint(0, 0));
            return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
        });
        chain += stops;
    }
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::createMemo() {
    Memo1 = new QTextEdit(centralWidget());
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameStyle(QFrame::NoFrame);
    Memo1->setGeometry(kMemoLeft, 1, 169, 177);
    QPalette silver = Memo1->palette();
    silver.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
    Memo1->setPalette(silver);
    Memo1->setPlainText(creditsText());
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);
    Memo1->hide();
    Memo1->viewport()->installEventFilter(this);
}

}  // namespace nyajkor::app
