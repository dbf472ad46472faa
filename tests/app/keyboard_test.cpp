// The window used without a mouse, its dialogs in Hungarian, and where the
// live plot opens.
//
// Each case gets a fresh, active window on the offscreen platform; keys are
// typed into it as a user types them, so the shortcut map and the focused
// widget see them in the real order.

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QStyleOptionSlider>
#include <memory>
#include <span>

#include "app/main_window.h"
#include "tests/app/window_test_support.h"
#include "app/order_plot.h"
#include "app/scroll_bar.h"
#include "app/translations.h"
#include "surface/dx_timer.h"

using nyajkor::app::ScrollBar;
using nyajkor::app::TForm1;

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void standardDialogsSpeakHungarian();
    void tabGoesThroughTheColumnTopToBottom();
    void keysMoveTheFocusedBarByItsChanges();
    void aClickOnTheTrackMovesByTheLargeChange();
    void shortcutsDoWhatTheButtonsDo();
    void everyMenuAndItemHasItsOwnLetter();
    void menusOpenFromTheKeyboard();
    void keysShowTheBarsValueAsTheyMoveIt();
    void plotOpensBesideTheWindowWhereThereIsRoom();
    void plotNeverCoversTheMenusOrTheControls();

private:
    template <class T>
    T* child(const char* name) {
        return nyajkor::app::test::control<T>(form.get(), name);
    }
    ScrollBar* bar(const char* name) { return child<ScrollBar>(name); }
    bool timerRunning() { return nyajkor::app::test::timerRunning(form.get()); }
    void key(QKeyCombination k) { QTest::keyClick(QApplication::focusWidget(), k.key(), k.keyboardModifiers()); }

    std::unique_ptr<TForm1> form;
};

// As the program does at start-up, before any window exists, whatever the
// system's language (ctest runs this with LANG=C).
void KeyboardTest::initTestCase() { QVERIFY2(nyajkor::app::installHungarianTranslations(*qApp), "no qtbase_hu.qm"); }

void KeyboardTest::init() {
    form = std::make_unique<TForm1>();
    form->show();
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
}

void KeyboardTest::cleanup() { form.reset(); }

void KeyboardTest::standardDialogsSpeakHungarian() {
    struct Case {
        const char* item;
        QStringList expected;
    };
    for (const Case& c : {Case{"reszecskeszin", {"Szín kiválasztása", "Mégse", "Alap színek"}},
                          Case{"kepmentes", {"Kép mentése", "Mentés", "Mégse", "Fájl neve:"}}}) {
        auto texts = std::make_shared<QStringList>();
        QTimer::singleShot(0, form.get(), [texts] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            *texts << dialog->windowTitle();
            for (auto* b : dialog->findChildren<QPushButton*>()) *texts << b->text().remove(QLatin1Char('&'));
            for (auto* l : dialog->findChildren<QLabel*>()) *texts << l->text().remove(QLatin1Char('&'));
            dialog->reject();
        });
        child<QAction>(c.item)->trigger();
        for (const QString& expected : c.expected)
            QVERIFY2(texts->contains(expected), qPrintable(QString::fromLatin1(c.item) + ": " + expected +
                                                            " not in " + texts->join(QLatin1Char('|'))));
    }
}

void KeyboardTest::tabGoesThroughTheColumnTopToBottom() {
    QTest::mouseClick(child<QPushButton>("start"), Qt::LeftButton);  // enables every bar of the column
    bar("egyedszam")->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const QString name = QApplication::focusWidget()->objectName();
        if (name == visited.first()) break;
        visited << name;
    }
    QCOMPARE(visited.join(QLatin1Char(' ')),
             QStringLiteral("egyedszam vkozos parameter sugar egyensulyerosseg tavolsag tkpvonzaserosseg "
                            "vonzaserosseg eszlelok ragadozoeszleles reakcioerosseg Xalfa Zbeta nagyitas "
                            "stop tovabb ujraindit"));
    QVERIFY(bar("egyedszam")->focusPolicy() & Qt::ClickFocus);
}

void KeyboardTest::keysMoveTheFocusedBarByItsChanges() {
    struct Case {
        QKeyCombination key;
        int expected;  // from the start position of the bar
    };
    // egyedszam: 500..5000 at 2000, small change 10, large 50; nagyitas: 10..25 at 15, 1 and 5
    const Case egyedszam[] = {{Qt::Key_Right, 2010}, {Qt::Key_Left, 2000}, {Qt::Key_PageUp, 2050},
                              {Qt::Key_PageDown, 2000}, {Qt::Key_End, 5000}, {Qt::Key_Home, 500}};
    const Case nagyitas[] = {{Qt::Key_Left, 14}, {Qt::Key_PageDown, 10}, {Qt::Key_PageDown, 10},
                             {Qt::Key_PageUp, 15}, {Qt::Key_End, 25}, {Qt::Key_Right, 25}};
    for (const auto& [name, cases] : {std::pair{"egyedszam", std::span<const Case>(egyedszam)},
                                      std::pair{"nagyitas", std::span<const Case>(nagyitas)}}) {
        ScrollBar* b = bar(name);
        b->setFocus();
        QSignalSpy changes(b, &ScrollBar::changed);
        for (const Case& c : cases) {
            const int before = b->value();
            const qsizetype fired = changes.count();
            key(c.key);
            QCOMPARE(b->value(), c.expected);
            QCOMPARE(b->toolTip(), QString::number(c.expected));
            QCOMPARE(changes.count() - fired, c.expected == before ? 0 : 1);  // once per change, none at an end
        }
    }
    // the handlers ran as for a mouse move: egyedszam's enabled "Újraindít", nagyitas set the zoom
    QVERIFY(child<QPushButton>("ujraindit")->isEnabled());
    QCOMPARE(form->view().nagyitasszorzo, 2.5);
}

void KeyboardTest::aClickOnTheTrackMovesByTheLargeChange() {
    ScrollBar* b = bar("parameter");  // 0..100 at 10, large change 5
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() - 20, b->height() / 2));
    QCOMPARE(b->value(), 15);
    // the thumb is a small square whatever the range: as thick as the bar
    QStyleOptionSlider option;
    option.initFrom(b);
    option.orientation = Qt::Horizontal;
    option.minimum = b->minimum();
    option.maximum = b->maximum();
    option.sliderPosition = option.sliderValue = b->value();
    option.pageStep = b->pageStep();
    option.singleStep = b->singleStep();
    const QRect thumb = b->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, b);
    QCOMPARE(thumb.width(), b->height());
}

void KeyboardTest::shortcutsDoWhatTheButtonsDo() {
    ScrollBar* focus = bar("vkozos");
    focus->setFocus();
    // before Start: F5's button is disabled, so nothing happens
    key(Qt::Key_F5);
    QVERIFY(!timerRunning());
    QCOMPARE(form->flock().egyeddb, 0);

    key(Qt::Key_Space);  // Start
    QVERIFY(!child<QPushButton>("start")->isEnabled());
    QVERIFY(timerRunning());
    QCOMPARE(form->flock().egyeddb, 2000);
    key(Qt::Key_Space);  // Stop
    QVERIFY(!timerRunning());
    key(Qt::Key_Space);  // Tovább
    QVERIFY(timerRunning());

    const double firstX = form->flock().x[1];
    key(Qt::Key_F5);  // Újraindít: a fresh flock
    QVERIFY(form->flock().x[1] != firstX || form->flock().vx[1] != 0);
    QVERIFY(timerRunning());

    key(Qt::Key_Insert);
    QCOMPARE(form->flock().ragadozodb, 1);
    QCOMPARE(nyajkor::app::test::visibleCaption(child<QMenu>("ragadozo")->title()), QStringLiteral("1 ragadozó"));

    // awaiting a restart after a new N, Stop and Tovább are disabled: Space does nothing
    bar("egyedszam")->setPosition(3000);
    focus->setFocus();
    key(Qt::Key_Space);
    QVERIFY(!timerRunning());

    // on a focused button Space presses that button
    child<QPushButton>("ujraindit")->setFocus();
    key(Qt::Key_Space);
    QVERIFY(timerRunning());
    QCOMPARE(form->flock().egyeddb, 3000);

    // the items show their keys
    QCOMPARE(child<QAction>("ujragadozo")->shortcut(), QKeySequence(Qt::Key_Insert));
    QCOMPARE(child<QAction>("kepmentes")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

    bool saveDialogOpened = false;
    QTimer::singleShot(0, form.get(), [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        saveDialogOpened = dialog != nullptr;
        if (dialog) dialog->reject();
    });
    key(QKeyCombination(Qt::ControlModifier, Qt::Key_S));
    QVERIFY(saveDialogOpened);
}

// Within the menu bar and within each menu, every visible entry has a
// letter of its own, and its caption reads the same without the marker.
void KeyboardTest::everyMenuAndItemHasItsOwnLetter() {
    QList<QWidget*> menus{form->menuBar()};
    for (QMenu* m : form->findChildren<QMenu*>()) menus << m;
    for (QWidget* menu : menus) {
        QStringList letters;
        for (QAction* a : menu->actions()) {
            if (!a->isVisible() && menu == form->menuBar()) continue;
            const QString letter = QKeySequence::mnemonic(a->text()).toString();
            QVERIFY2(!letter.isEmpty(), qPrintable(a->text()));
            QVERIFY2(!letters.contains(letter), qPrintable(menu->objectName() + ": " + a->text()));
            letters << letter;
        }
    }
    QCOMPARE(nyajkor::app::test::visibleCaption(child<QMenu>("Figyelsmdja1")->title()),
             QStringLiteral("Igazodás módja"));
}

void KeyboardTest::menusOpenFromTheKeyboard() {
    QMenuBar* bar = form->menuBar();
    // the letters are underlined only once the keyboard goes to the menus
    const auto underlined = [bar] { return bar->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, bar); };
    QVERIFY(!underlined());
    key(Qt::Key_F10);
    QVERIFY(underlined());
    QCOMPARE(bar->activeAction(), child<QAction>("Nvjegy1"));
    key(Qt::Key_Escape);

    // Alt alone, as on every desktop, then the arrow keys
    QTest::keyClick(form.get(), Qt::Key_Alt);
    QCOMPARE(bar->activeAction(), child<QAction>("Nvjegy1"));
    key(Qt::Key_Escape);

    // Alt and a letter opens its menu; the letters then walk down to an item
    QTest::keyClick(form.get(), Qt::Key_I, Qt::AltModifier);
    QTRY_VERIFY(child<QMenu>("Figyelsmdja1")->isVisible());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_C);
    QTRY_VERIFY(child<QMenu>("vonzocentrum")->isVisible());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_K);
    QTRY_VERIFY(child<QAction>("kozepenvonzo")->isChecked());
    QVERIFY(child<ScrollBar>("vonzaserosseg")->isEnabled());
    QTest::mouseClick(child<QWidget>("DX"), Qt::LeftButton);
    QVERIFY(!underlined());
}

// The hint follows the value while the keys move the bar, without a mouse over it.
void KeyboardTest::keysShowTheBarsValueAsTheyMoveIt() {
    ScrollBar* noise = bar("parameter");
    noise->setFocus();
    for (Qt::Key k : {Qt::Key_Right, Qt::Key_PageUp, Qt::Key_Home}) {
        key(k);
        QVERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QString::number(noise->value()));
    }
}

void KeyboardTest::plotOpensBesideTheWindowWhereThereIsRoom() {
    using nyajkor::app::placeBeside;
    const QRect window(50, 5, 1221, 758);
    const QRect view(156, 30, 1115, 733);
    const QSize plot(560, 320);
    struct Case {
        QRect screen;
        QPoint expected;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {1279, 5}},          // room on the right
        {{-700, 0, 2020, 800}, {-518, 5}},        // none on the right, room on the left
        {{0, 0, 1280, 1100}, {50, 771}},          // none beside, room below
        {{0, -400, 1280, 1200}, {50, -323}},      // room only above (a screen above this one)
        {{0, 0, 1280, 800}, {703, 435}},          // none around: the view's lower right corner
        {{0, 0, 1680, 1050}, {703, 435}},         // as wide as the window and the plot are not
        {{0, 0, 800, 600}, {232, 272}},           // a small screen: the corner of what it shows of the view
    };
    for (const Case& c : cases) QCOMPARE(placeBeside(c.screen, window, view, plot), c.expected);
}

void KeyboardTest::plotNeverCoversTheMenusOrTheControls() {
    child<QAction>("rendparameteridosor")->trigger();
    auto* plot = child<QWidget>("idosorablak");
    QVERIFY(plot->isVisible());
    // a window of its own that the main window may cover, not a tool window kept above it
    QCOMPARE(plot->windowType(), Qt::Window);
    QVERIFY(!plot->windowHandle()->transientParent());
    QCOMPARE(plot->parentWidget(), form.get());
    const QRect placed = plot->frameGeometry();
    const QRect menuBar(form->menuBar()->mapToGlobal(QPoint(0, 0)), form->menuBar()->size());
    auto* column = child<QWidget>("Panel2");
    const QRect controls(column->mapToGlobal(QPoint(0, 0)), column->size());
    QVERIFY(!placed.intersects(menuBar));
    QVERIFY(!placed.intersects(controls));
}

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
