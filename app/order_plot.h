// The live plot of the two statistics: "Rendparaméter és szomszédszám".
//
// The window's labels show only the last tick's order parameter and
// neighbour count; this small tool window shows how they got there, as two
// curves over the ticks the history holds (the last 2000): the order
// parameter in per cent on the left axis, 0..100, and the average number of
// perceived neighbours on the right axis, scaled to fit.
//
// It is fed after every tick, so it has to be cheap (well under a
// millisecond): while it is hidden a refresh does nothing at all, and while
// it is shown a refresh hands each curve one prepared list of points, thinned
// to what the plot's pixels can show, which the chart lays out once. The
// history itself lives with the main window and is recorded whether or not
// the plot is open, so opening it shows the past at once.
#pragma once

#include <QWidget>

class QLineSeries;
class QValueAxis;

namespace nyajkor::app {

class OrderHistory;

// Where a window of `size` opens for a main window at `window` (its frame)
// whose view is at `view`, on a screen whose free area is `screen`: beside
// the window, right or else left, or else below or above it, where the
// screen has room; otherwise over the lower right corner of the view, so it
// never covers the menu bar or the controls.
QPoint placeBeside(const QRect& screen, const QRect& window, const QRect& view, const QSize& size);

class OrderPlot : public QWidget {
    Q_OBJECT

public:
    // A tool window of `owner`: it stays above it and goes with it.
    explicit OrderPlot(QWidget* owner);

    // Shows the history as it is now; nothing while the window is hidden.
    void refresh(const OrderHistory& history);

    // The curves and the tick axis, as they are drawn.
    const QLineSeries& orderCurve() const { return *order_; }
    const QLineSeries& neighbourCurve() const { return *neighbours_; }
    const QValueAxis& tickAxis() const { return *ticks_; }
    const QValueAxis& neighbourAxis() const { return *neighbourAxis_; }

signals:
    // The user closed the window with its own close button.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLineSeries* order_;
    QLineSeries* neighbours_;
    QValueAxis* ticks_;
    QValueAxis* neighbourAxis_;
};

}  // namespace nyajkor::app
