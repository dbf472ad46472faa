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
#include <utility>

#include "app/main_window.h"
#include "app/scroll_bar.h"
#include "model/controls.h"

namespace nyajkor::app {

namespace {

// The column's panels, stacked from the top; the first one, holding the run
// buttons, has no name.
struct PanelRow {
    const char* name;
    int top, height;
};
constexpr PanelRow kPanels[] = {
    {"", 0, 90},          {"Panel1", 90, 35},   {"Panel3", 125, 35},  {"Panel4", 160, 35},
    {"Panel5", 195, 61},  {"Panel12", 256, 77}, {"Panel13", 333, 47}, {"Panel10", 379, 65},
    {"Panel15", 444, 49}, {"Panel9", 493, 77},  {"Panel7", 570, 27},  {"Panel6", 597, 34},
    {"Panel8", 631, 34},  {"Panel11", 665, 34},
};
constexpr int kColumnWidth = 105;
constexpr int kPanelWidth = 103;
constexpr QRect kPanel14Bounds{128, 32, 217, 105};

// Labels, positioned inside their panels. A label with `after` set continues
// the line of that label, a few pixels right of its text.
struct LabelRow {
    const char* name;
    const char* caption;
    const char* panel;
    int left, top;
    const char* after = nullptr;
    bool heading = false;  // bold, 13 pixels high
};
constexpr int kLabelLeft = 3;
constexpr LabelRow kLabels[] = {
    {"Label8", "Egyedszám", "Panel1", kLabelLeft, 3},
    {"Label1", "Közös sebesség", "Panel3", kLabelLeft, 3},
    {"Label2", "Zajparaméter", "Panel4", kLabelLeft, 3},
    {"Label5", "Észlelt szomszédok", "Panel5", kLabelLeft, 3},
    {"Label10", "max. távolsága", "Panel5", kLabelLeft, 16},
    {"Label21", "Átlagos száma:", "Panel5", kLabelLeft, 45},
    {"Label22", "...", "Panel5", 0, 45, "Label21"},
    {"Label16", "Távolságtartásra", "Panel12", kLabelLeft, 3},
    {"Label18", "törekvés erőssége", "Panel12", kLabelLeft, 15},
    {"Label15", "Egyensúlyi távolság", "Panel12", kLabelLeft, 45},
    {"Label19", "Tömegközépponthoz", "Panel13", kLabelLeft, 3},
    {"Label20", "vonzódás erőssége", "Panel13", kLabelLeft, 15},
    {"Label13", "Vonzó centrum", "Panel10", kLabelLeft, 3},
    {"Label14", "erőssége", "Panel10", kLabelLeft, 15},
    {"Label23", "Vonzó centrumot", "Panel15", kLabelLeft, 3},
    {"Label24", "észlelők aránya (%)", "Panel15", kLabelLeft, 16},
    {"Label11", "Ragadozó", "Panel9", kLabelLeft, 3},
    {"Label12", "észlelés távolsága", "Panel9", kLabelLeft, 15},
    {"Label17", "Reakció erőssége", "Panel9", kLabelLeft, 45},
    {"Label6", "Rendparaméter (%)", "Panel7", kLabelLeft, 1},
    {"Label7", "...", "Panel7", kLabelLeft, 13},
    {"Label3", "X körüli forgatás", "Panel6", kLabelLeft, 3},
    {"Label4", "Z körüli forgatás", "Panel8", kLabelLeft, 3},
    {"Label9", "Nagyítás", "Panel11", kLabelLeft, 3},
    {"Label25", "Vonzó centrum koordinátái", "Panel14", 16, 7, nullptr, true},
    {"Label26", "X", "Panel14", 15, 31, nullptr, true},
    {"Label27", "Y", "Panel14", 15, 55, nullptr, true},
    {"Label28", "Z", "Panel14", 15, 78, nullptr, true},
};
constexpr int kLabelHeight = 13;
constexpr int kHeadingHeight = 16;
constexpr int kLabelGap = 3;
constexpr int kHeadingPixels = 13;

// Scroll bars of the column and of the coordinates panel.
constexpr int kColumnBarLeft = 9, kColumnBarWidth = 86, kColumnBarHeight = 12;
constexpr int kPanel14BarLeft = 39, kPanel14BarWidth = 160, kPanel14BarHeight = 17;

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
    {"start", "Start", "", 10, 5, 80, 20, true, &TForm1::startClick, &TForm1::start},
    {"stop", "Stop", "", 10, 25, 80, 20, false, &TForm1::stopClick, &TForm1::stop},
    {"tovabb", "Tovább", "", 10, 45, 80, 20, false, &TForm1::tovabbClick, &TForm1::tovabb},
    {"ujraindit", "Újraindít", "", 10, 65, 80, 20, false, &TForm1::ujrainditClick, &TForm1::ujraindit},
    {"Button1", "Koordináták: click!", "Panel10", 1, 43, 100, 20, false, &TForm1::Button1Click,
     &TForm1::Button1},
};

// The window's side of each scroll bar: panel, top, enabled at launch, handler.
const TForm1::ScrollBarRow TForm1::kScrollBars[] = {
    {&Inputs::egyedszam, "Panel1", 18, true, &TForm1::egyedszamChange, &TForm1::egyedszam},
    {&Inputs::vkozos, "Panel3", 18, true, nullptr, &TForm1::vkozos},
    {&Inputs::parameter, "Panel4", 18, true, nullptr, &TForm1::parameter},
    {&Inputs::sugar, "Panel5", 31, false, &TForm1::sugarChange, &TForm1::sugar},
    {&Inputs::egyensulyerosseg, "Panel12", 30, true, &TForm1::egyensulyerossegChange, &TForm1::egyensulyerosseg},
    {&Inputs::tavolsag, "Panel12", 60, true, &TForm1::tavolsagChange, &TForm1::tavolsag},
    {&Inputs::tkpvonzaserosseg, "Panel13", 30, true, nullptr, &TForm1::tkpvonzaserosseg},
    {&Inputs::vonzaserosseg, "Panel10", 29, true, nullptr, &TForm1::vonzaserosseg},
    {&Inputs::eszlelok, "Panel15", 32, true, nullptr, &TForm1::eszlelok},
    {&Inputs::ragadozoeszleles, "Panel9", 30, true, nullptr, &TForm1::ragadozoeszleles},
    {&Inputs::reakcioerosseg, "Panel9", 60, true, nullptr, &TForm1::reakcioerosseg},
    {&Inputs::Xalfa, "Panel6", 18, false, &TForm1::XalfaChange, &TForm1::Xalfa},
    {&Inputs::Zbeta, "Panel8", 18, false, &TForm1::ZbetaChange, &TForm1::Zbeta},
    {&Inputs::nagyitas, "Panel11", 18, true, &TForm1::nagyitasChange, &TForm1::nagyitas},
    {&Inputs::xvonzokord, "Panel14", 30, true, &TForm1::xvonzokordChange, &TForm1::xvonzokord},
    {&Inputs::yvonzokord, "Panel14", 54, true, &TForm1::yvonzokordChange, &TForm1::yvonzokord},
    {&Inputs::zvonzokord, "Panel14", 78, true, &TForm1::zvonzokordChange, &TForm1::zvonzokord},
};

// In menu-bar order; a parent comes before its items. The letter after '&'
// opens a menu with Alt, or chooses an item in an open menu; Qt shows it
// underlined, and the caption's text is the same without it.
const TForm1::MenuRow TForm1::kMenus[] = {
    {"Nvjegy1", "&Névjegy", nullptr, MenuRow::Item, &TForm1::Nvjegy1Click, nullptr, nullptr},
    {"Figyelsmdja1", "&Igazodás módja", nullptr, MenuRow::Submenu, nullptr, nullptr, nullptr},
    {"taszitas", "&Taszító jellegű távolságtartás a legközelebbi szomszéddal", "Figyelsmdja1",
     MenuRow::Submenu, nullptr, nullptr, nullptr},
    {"autotaszito", "&Automatikus", "taszitas", MenuRow::CheckItem, &TForm1::autotaszitoClick,
     &TForm1::autotaszito, &Inputs::autotaszito},
    {"egyenitaszito", "&Egyéni", "taszitas", MenuRow::CheckItem, &TForm1::egyenitaszitoClick,
     &TForm1::egyenitaszito, &Inputs::egyenitaszito},
    {"tavolsagtartas", "&Vonzó-taszító jellegű távolságtartás a legközelebbi szomszéddal",
     "Figyelsmdja1", MenuRow::Submenu, nullptr, nullptr, nullptr},
    {"autovonzo", "&Automatikus", "tavolsagtartas", MenuRow::CheckItem, &TForm1::autovonzoClick,
     &TForm1::autovonzo, &Inputs::autovonzo},
    {"egyenivonzo", "&Egyéni", "tavolsagtartas", MenuRow::CheckItem, &TForm1::egyenivonzoClick,
     &TForm1::egyenivonzo, &Inputs::egyenivonzo},
    {"tkpvonzas", "Vonzódás a tö&megközéppont felé", "Figyelsmdja1", MenuRow::CheckItem,
     &TForm1::tkpvonzasClick, &TForm1::tkpvonzas, &Inputs::tkpvonzas},
    {"vonzocentrum", "Vonzó &centrum", "Figyelsmdja1", MenuRow::Submenu, nullptr, nullptr, nullptr},
    {"kozepenvonzo", "&Középen", "vonzocentrum", MenuRow::CheckItem, &TForm1::kozepenvonzoClick,
     &TForm1::kozepenvonzo, &Inputs::kozepenvonzo},
    {"mozgovonzo", "&Mozog", "vonzocentrum", MenuRow::CheckItem, &TForm1::mozgovonzoClick,
     &TForm1::mozgovonzo, &Inputs::mozgovonzo},
    {"elhelyez", "&Elhelyez", "vonzocentrum", MenuRow::CheckItem, &TForm1::elhelyezClick,
     &TForm1::elhelyez, &Inputs::elhelyez},
    {"ragadozo", "0 &ragadozó", "Figyelsmdja1", MenuRow::Submenu, nullptr, &TForm1::ragadozo, nullptr},
    {"ujragadozo", "Új &ragadozó", "ragadozo", MenuRow::Item, &TForm1::ujragadozoClick, nullptr,
     nullptr},
    {"ragadozotorles", "Ragadozók &törlése", "ragadozo", MenuRow::Item, &TForm1::ragadozotorlesClick,
     nullptr, nullptr},
    {"abrazolasmod", "Á&brázolás módja", nullptr, MenuRow::Submenu, nullptr, nullptr, nullptr},
    {"szemuveg", "&3D szemüveghez", "abrazolasmod", MenuRow::CheckItem, &TForm1::szemuvegClick,
     &TForm1::szemuveg, &Inputs::szemuveg},
    {"befoglalokocka", "Befoglaló &kocka ábrázolása", "abrazolasmod", MenuRow::CheckedItem,
     nullptr, &TForm1::befoglalokocka, &Inputs::befoglalokocka},
    {"rendparameteridosor", "&Rendparaméter idősora", "abrazolasmod", MenuRow::CheckItem,
     &TForm1::rendparameteridosorClick, &TForm1::rendparameteridosor, nullptr},
    {"kepmentes", "Kép &mentése…", "abrazolasmod", MenuRow::Item, &TForm1::kepmentesClick, nullptr,
     nullptr},
    {"szemuvegszinek", "&Színek", nullptr, MenuRow::Submenu, nullptr, &TForm1::szemuvegszinek, nullptr},
    {"balszem", "&Bal szem", "szemuvegszinek", MenuRow::Item, &TForm1::balszemClick, nullptr, nullptr},
    {"jobbszem", "&Jobb szem", "szemuvegszinek", MenuRow::Item, &TForm1::jobbszemClick, nullptr,
     nullptr},
    {"szinek", "&Színek", nullptr, MenuRow::Submenu, nullptr, &TForm1::szinek, nullptr},
    {"reszecskeszin", "&Egyedek", "szinek", MenuRow::Item, &TForm1::reszecskeszinClick, nullptr,
     nullptr},
    {"hatterszin", "&Háttér", "szinek", MenuRow::Item, &TForm1::hatterszinClick, nullptr, nullptr},
    {"kockaszin", "Befoglaló &kocka", "szinek", MenuRow::Item, &TForm1::kockaszinClick, nullptr,
     nullptr},
    {"vonzoszin", "&Vonzócentrum", "szinek", MenuRow::Item, &TForm1::vonzoszinClick, nullptr, nullptr},
    {"ragadozoszin", "&Ragadozók", "szinek", MenuRow::Item, &TForm1::ragadozoszinClick, nullptr,
     nullptr},
    {"recording", "&Rögzítés", nullptr, MenuRow::Submenu, nullptr, nullptr, nullptr},
    {"startRecording", "Felvétel &indítása…", "recording", MenuRow::Item, &TForm1::startRecordingClick,
     &TForm1::startRecording, nullptr},
    {"stopRecording", "Felvétel &leállítása", "recording", MenuRow::Item, &TForm1::stopRecordingClick,
     &TForm1::stopRecording, nullptr},
    {"saveState", "Állapot &mentése…", "recording", MenuRow::Item, &TForm1::saveStateClick, &TForm1::saveState,
     nullptr},
    {"loadState", "Állapot &betöltése…", "recording", MenuRow::Item, &TForm1::loadStateClick, nullptr, nullptr},
    {"replay", "&Visszajátszás…", "recording", MenuRow::Item, &TForm1::replayClick, nullptr, nullptr},
    {"endReplay", "Visszajátszás vé&ge", "recording", MenuRow::Item, &TForm1::endReplayClick, &TForm1::endReplay,
     nullptr},
};

Inputs TForm1::inputs() const {
    Inputs in;
    for (const ScrollBarRow& row : kScrollBars) in.*row.feeds = (this->*row.widget)->value();
    for (const MenuRow& row : kMenus)
        if (row.mark) in.*row.mark = (this->*row.action)->isChecked();
    return in;
}

// The inverse of inputs(): every bar moved (running its handler, as a user's
// move would) and every check mark set (running none).
void TForm1::showControlsOf(const Inputs& in) {
    for (const ScrollBarRow& row : kScrollBars) (this->*row.widget)->setPosition(in.*row.feeds);
    for (const MenuRow& row : kMenus)
        if (row.mark) (this->*row.action)->setChecked(in.*row.mark);
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
    for (const PanelRow& row : kPanels)
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
    for (const LabelRow& row : kLabels) {
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
    for (const ButtonRow& row : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(row.caption), panel(row.panel));
        button->setObjectName(QString::fromLatin1(row.name));
        button->setGeometry(row.left, row.top, row.width, row.height);
        button->setEnabled(row.enabled);
        connect(button, &QPushButton::clicked, this, [this, h = row.onClick] { run(h); });
        this->*row.widget = button;
    }
}

void TForm1::createScrollBars() {
    for (const ScrollBarRow& row : kScrollBars) {
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
        if (row.onChange) connect(bar, &ScrollBar::changed, this, [this, h = row.onChange] { run(h); });
        this->*row.widget = bar;
    }
}

void TForm1::createActions() {
    for (const MenuRow& row : kMenus) {
        if (row.kind == MenuRow::Submenu) continue;
        auto* action = new QAction(QString::fromUtf8(row.caption), this);
        action->setObjectName(QString::fromLatin1(row.name));
        // The check mark toggles as the item is clicked; the handler then
        // reads the new state.
        action->setCheckable(row.kind != MenuRow::Item);
        action->setChecked(row.kind == MenuRow::CheckedItem);
        if (row.onClick)
            connect(action, &QAction::triggered, this, [this, h = row.onClick] { run(h); });
        if (row.action) this->*row.action = action;
    }
}

void TForm1::createMenus() {
    menuBar()->setStyle(keyboardLetterStyle());
    new KeyboardLetterWatch(menuBar());
    QHash<QString, QMenu*> menus;
    for (const MenuRow& row : kMenus) {
        const QString name = QString::fromLatin1(row.name);
        QAction* entry = nullptr;
        if (row.kind == MenuRow::Submenu) {
            auto* menu = new QMenu(QString::fromUtf8(row.caption), this);
            menu->setObjectName(name);
            menu->setStyle(keyboardLetterStyle());
            menus.insert(name, menu);
            entry = menu->menuAction();
            if (row.action) this->*row.action = entry;
        } else {
            entry = findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
        }
        if (row.parent)
            menus.value(QString::fromLatin1(row.parent))->addAction(entry);
        else
            menuBar()->addAction(entry);
    }
    // of the two colour menus only the five-colour one shows at launch
    szemuvegszinek->setVisible(false);
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
