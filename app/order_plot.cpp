#include "app/order_plot.h"

#include <QWindow>

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QLineSeries>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/order_history.h"

namespace nyajkor::app {

namespace {

constexpr QSize kPlotSize{560, 320};
constexpr int kTickLabelStep = 500;  // ticks between the labels of the tick axis
constexpr int kValueIntervals = 5;   // grid intervals of both value axes
constexpr int kTicksPerRun = 10;     // ticks drawn as up to four points, see curve()

// The top of the neighbour axis: the smallest round number at or above the
// largest count shown, so the axis stays put while the count wanders below it
// and its five intervals read as short round numbers.
double roundCeiling(double largest) {
    if (largest <= 1) return 1;
    const double decade = std::pow(10.0, std::floor(std::log10(largest)));
    for (double mantissa : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0})
        if (mantissa * decade >= largest) return mantissa * decade;
    return 10 * decade;
}

// The points of one curve. The chart's cost grows with the points it is
// given, while a run of kTicksPerRun ticks spans only about two pixels of the
// plot; so of every run only the first, the lowest, the highest and the last
// tick are given, which joined draw what all of them would at that scale.
// Runs are counted from tick 1, so only the runs at the two ends of the plot
// change as it moves on, and no point shimmers.
template <class Value>
QList<QPointF> curve(const OrderHistory& history, Value OrderSample::*value) {
    QList<QPointF> points;
    points.reserve(4 * (history.size() / kTicksPerRun + 2));
    auto add = [&](int i) {
        const OrderSample& s = history[i];
        points.append(QPointF(double(s.tick), double(s.*value)));
    };
    for (int begin = 0, end = 0; begin < history.size(); begin = end) {
        const std::int64_t run = (history[begin].tick - 1) / kTicksPerRun;
        int lowest = begin, highest = begin;
        for (end = begin; end < history.size() && (history[end].tick - 1) / kTicksPerRun == run; ++end) {
            if (history[end].*value < history[lowest].*value) lowest = end;
            if (history[end].*value > history[highest].*value) highest = end;
        }
        const int last = end - 1;
        // in tick order, each at most once
        add(begin);
        int previous = begin;
        for (int i : {std::min(lowest, highest), std::max(lowest, highest), last})
            if (i > previous) {
                add(i);
                previous = i;
            }
    }
    return points;
}

QValueAxis* valueAxis(const QString& title, const QColor& colour) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setTickCount(kValueIntervals + 1);
    axis->setLinePenColor(colour);
    axis->setLabelsColor(colour);
    return axis;
}

}  // namespace

OrderPlot::OrderPlot(QWidget* owner)
    : QWidget(owner, Qt::Window), order_(new QLineSeries), neighbours_(new QLineSeries), ticks_(new QValueAxis) {
    setWindowTitle(QStringLiteral("Rendparaméter és szomszédszám"));
    resize(kPlotSize);

    order_->setName(QStringLiteral("Rendparaméter (%)"));
    neighbours_->setName(QStringLiteral("Észlelt szomszédok átlagos száma"));
    order_->setColor(QColor(0x1f, 0x5f, 0xbf));
    neighbours_->setColor(QColor(0xd0, 0x60, 0x10));

    auto* chart = new QChart;
    chart->addSeries(order_);
    chart->addSeries(neighbours_);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));

    ticks_->setTitleText(QStringLiteral("Lépés"));
    ticks_->setLabelFormat(QStringLiteral("%.0f"));
    ticks_->setTickType(QValueAxis::TicksDynamic);
    ticks_->setTickAnchor(0);
    ticks_->setTickInterval(kTickLabelStep);
    ticks_->setRange(1, OrderHistory::kCapacity);
    auto* percentAxis = valueAxis(QStringLiteral("%"), order_->color());
    percentAxis->setRange(0, 100);
    neighbourAxis_ = valueAxis(QStringLiteral("szomszéd"), neighbours_->color());
    neighbourAxis_->setRange(0, 1);
    chart->addAxis(ticks_, Qt::AlignBottom);
    chart->addAxis(percentAxis, Qt::AlignLeft);
    chart->addAxis(neighbourAxis_, Qt::AlignRight);
    order_->attachAxis(ticks_);
    order_->attachAxis(percentAxis);
    neighbours_->attachAxis(ticks_);
    neighbours_->attachAxis(neighbourAxis_);

    auto* view = new QChartView(chart, this);  // the view owns the chart, the chart its series and axes
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
}

void OrderPlot::refresh(const OrderHistory& history) {
    if (!isVisible()) return;
    const QList<QPointF> neighbours = curve(history, &OrderSample::neighbours);
    double largest = 0;
    for (const QPointF& p : neighbours) largest = std::max(largest, p.y());
    // The chart lays a curve out afresh at every change of its points and of
    // its axes' ranges; emptied first, it is laid out in full only once.
    order_->replace(QList<QPointF>());
    neighbours_->replace(QList<QPointF>());
    // The tick axis spans as many ticks as the history holds: it fills from
    // the left during the first ones, then moves on with the run.
    const double first = history.empty() ? 1 : double(history[0].tick);
    ticks_->setRange(first, first + OrderHistory::kCapacity - 1);
    neighbourAxis_->setRange(0, roundCeiling(largest));
    order_->replace(curve(history, &OrderSample::percent));
    neighbours_->replace(neighbours);
}

// A window of its own, not one held above the main window: where it has to
// open over the view, the view comes back to the front with a click.
void OrderPlot::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (QWindow* window = windowHandle()) window->setTransientParent(nullptr);
}

void OrderPlot::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

}  // namespace nyajkor::app

namespace nyajkor::app {

QPoint placeBeside(const QRect& screen, const QRect& window, const QRect& view, const QSize& size) {
    constexpr int kGap = 8;
    const QRect right(QPoint(window.right() + 1 + kGap, window.top()), size);
    if (screen.contains(right)) return right.topLeft();
    const QRect left(QPoint(window.left() - kGap - size.width(), window.top()), size);
    if (screen.contains(left)) return left.topLeft();
    const QRect below(QPoint(window.left(), window.bottom() + 1 + kGap), size);
    if (screen.contains(below)) return below.topLeft();
    const QRect above(QPoint(window.left(), window.top() - kGap - size.height()), size);
    if (screen.contains(above)) return above.topLeft();
    // no room around it: inside the view, at its lower right corner where the
    // screen shows it, never above or left of the view's own corner
    const QRect shown = view.intersected(screen).isEmpty() ? view : view.intersected(screen);
    return QPoint(std::max(view.left(), shown.right() + 1 - kGap - size.width()),
                  std::max(view.top(), shown.bottom() + 1 - kGap - size.height()));
}

}  // namespace nyajkor::app
