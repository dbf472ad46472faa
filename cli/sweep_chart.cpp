#include "cli/sweep_chart.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QtCharts/QChart>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <stdlib.h>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "cli/frame_picture.h"
#include "cli/phase_diagram.h"

namespace nyajkor::batch {

namespace {

constexpr int kWidth = 900, kHeight = 560;

// A tick on every value of the axis' ends and at most ten equal steps between,
// so that the labels fall on whole values of the swept flag.
int tickCount(int from, int to) {
    for (int steps = 10; steps > 1; --steps)
        if ((to - from) % steps == 0) return steps + 1;
    return 2;
}

// The bar of one standard error above and below a point, with caps, as one
// polyline of the line's colour, left out of the legend.
void addErrorBar(QChart& chart, QLineSeries& line, double x, double capHalfWidth, const Estimate& e) {
    auto* bar = new QLineSeries;
    const double lo = e.mean - e.se, hi = e.mean + e.se;
    for (auto [px, py] : {std::pair{x - capHalfWidth, lo}, {x + capHalfWidth, lo}, {x, lo}, {x, hi},
                          {x - capHalfWidth, hi}, {x + capHalfWidth, hi}})
        bar->append(px, py);
    chart.addSeries(bar);
    for (QAbstractAxis* axis : line.attachedAxes()) bar->attachAxis(axis);
    bar->setColor(line.color());
    for (QLegendMarker* marker : chart.legend()->markers(bar)) marker->setVisible(false);
}

// The points of one quantity, in the order of the swept flag.
std::vector<std::pair<int, Estimate>> pointsOf(const SweepPlan& plan, const std::vector<PointSummary>& summary,
                                               PlotQuantity q) {
    std::vector<std::pair<int, Estimate>> points;
    for (const PointSummary& s : summary)
        if (s.runs > 0) points.emplace_back(plan.values(s.point)[0], plottedEstimate(s, q));
    return points;
}

// An axis for the quantity: the order parameter's whole range, the others'
// from their error bars, rounded out to whole ticks.
QValueAxis* quantityAxis(const std::vector<std::pair<int, Estimate>>& points, PlotQuantity q, const QString& title) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    if (q == PlotQuantity::order) {
        axis->setRange(0, 1);
        axis->setTickCount(11);
        axis->setLabelFormat("%.1f");
        return axis;
    }
    double lo = q == PlotQuantity::susceptibility ? 0 : INFINITY, hi = -INFINITY;
    for (const auto& [value, e] : points) {
        const double half = std::isnan(e.se) ? 0 : e.se;
        if (std::isnan(e.mean)) continue;
        lo = std::min(lo, e.mean - half);
        hi = std::max(hi, e.mean + half);
    }
    if (!(lo < hi)) lo = std::isfinite(lo) ? lo - 1 : 0, hi = std::isfinite(hi) ? hi + 1 : 1;
    axis->setRange(lo, hi);
    axis->applyNiceNumbers();
    axis->setLabelFormat("%g");
    return axis;
}

// The quantity's line with its error bars, on the chart's x axis and `yAxis`.
void addQuantity(QChart& chart, QValueAxis& xAxis, QValueAxis& yAxis, const QString& name,
                 const std::vector<std::pair<int, Estimate>>& points, QColor colour, double capHalfWidth) {
    auto* line = new QLineSeries;
    line->setName(name);
    line->setPointsVisible(true);
    for (const auto& [value, e] : points)
        if (!std::isnan(e.mean)) line->append(value, e.mean);
    chart.addSeries(line);
    line->attachAxis(&xAxis);
    line->attachAxis(&yAxis);
    line->setColor(colour);
    for (const auto& [value, e] : points)
        if (!std::isnan(e.mean) && !std::isnan(e.se)) addErrorBar(chart, *line, value, capHalfWidth, e);
}

// The runner speaks in lines of its own; what Qt would say about its
// platform (a runtime folder, fonts, plugins) is not for the user.
void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

// Whether Qt will find its offscreen platform plugin where it looks for
// plugins; without it QApplication would end the program.
bool offscreenPlatformFound() {
    QStringList folders;
    if (const QString own = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH"); !own.isEmpty()) folders << own;
    for (const QString& path : QCoreApplication::libraryPaths()) folders << path + QStringLiteral("/platforms");
    for (const QString& folder : folders)
        if (!QDir(folder).entryList({QStringLiteral("*qoffscreen*")}, QDir::Files).isEmpty()) return true;
    return false;
}

}  // namespace

// The application this runner made, and what it changed to make it.
class ChartApplication::Platform {
public:
    Platform() {
        if (!offscreenPlatformFound()) throw std::runtime_error("--plot: Qt's offscreen platform is not installed");
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            // Qt wants an absolute folder of the user's own, mode 0700, as mkdtemp makes it
            std::error_code noTemp;
            const auto temp = std::filesystem::absolute(std::filesystem::temp_directory_path(noTemp), noTemp);
            std::string pattern = ((noTemp ? "/tmp" : temp) / "nyajkor3d-runtime-XXXXXX").string();
            if (::mkdtemp(pattern.data())) {
                runtimeFolder_ = pattern;
                qputenv("XDG_RUNTIME_DIR", runtimeFolder_.c_str());
            }
        }
        previousHandler_ = qInstallMessageHandler(dropMessage);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

    ~Platform() {
        app_.reset();
        if (!runtimeFolder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(runtimeFolder_, ignored);
            qunsetenv("XDG_RUNTIME_DIR");
        }
        qInstallMessageHandler(previousHandler_);
    }

private:
    static inline int argc_ = 1;
    static inline char name_[] = "nyajkor3d-batch";
    static inline char* argv_[] = {name_, nullptr};
    std::string runtimeFolder_;  // made here, removed with the application
    QtMessageHandler previousHandler_ = nullptr;
    std::unique_ptr<QApplication> app_;
};

ChartApplication::ChartApplication() {
    if (QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            throw std::runtime_error("--plot: charts need a widget application");
        return;
    }
    platform_ = std::make_unique<Platform>();
}

ChartApplication::~ChartApplication() = default;

namespace {

// The axis of the swept flag over from..to; a margin on both sides keeps the
// end points' error bars whole.
QValueAxis* sweptAxis(const std::string& name, int from, int to) {
    auto* axis = new QValueAxis;
    const double margin = (to - from) / 40.0;
    axis->setRange(from - margin, to + margin);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(from);
    axis->setTickInterval((to - from) / (tickCount(from, to) - 1.0));
    axis->setLabelFormat("%g");
    axis->setTitleText(QString::fromStdString(name));
    return axis;
}

// The smallest and the largest of the first flag's values along an axis,
// at least one apart.
std::pair<int, int> spanOf(const Sweep& axis) {
    const auto values = axis.values();
    const int from = *std::min_element(values.begin(), values.end());
    const int to = *std::max_element(values.begin(), values.end());
    return {from, from == to ? from + 1 : to};
}

// The chart's scene, laid out, as a white-backed PNG.
void writeScenePng(QGraphicsScene& scene, std::ostream& png) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QCoreApplication::processEvents();  // lets the chart lay itself out
    scene.render(&painter, QRectF(0, 0, kWidth, kHeight), QRectF(0, 0, kWidth, kHeight));
    painter.end();
    writePng(image, "plot", png);
}

// Ten colours that stay apart, for the curves of one chart.
QColor curveColour(std::size_t k) {
    static const unsigned kColours[] = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd,
                                        0x8c564b, 0xe377c2, 0x7f7f7f, 0xbcbd22, 0x17becf};
    return QColor(kColours[k % std::size(kColours)]);
}

// `q` against the second axis, a curve with error bars for each step of the first.
void writeCurves(const SweepPlan& plan, const std::vector<PointSummary>& summary, PlotQuantity q, std::ostream& png) {
    const Sweep& per = plan.base().sweeps[0];
    const Sweep& along = plan.base().sweeps[1];
    const auto [from, to] = spanOf(along);
    QGraphicsScene scene;
    auto* chart = new QChart;  // owned by the scene
    scene.addItem(chart);
    chart->setGeometry(0, 0, kWidth, kHeight);
    chart->setTitle(QString::fromStdString(quantityTitle(q) + " against " + along.label() + ", a curve for each " +
                                           per.label()));
    auto* xAxis = sweptAxis(along.label(), from, to);
    chart->addAxis(xAxis, Qt::AlignBottom);
    // the points of each curve, the x of a point its second axis's value
    std::vector<std::vector<std::pair<int, Estimate>>> curves(per.count());
    std::vector<std::pair<int, Estimate>> all;
    for (const PointSummary& s : summary) {
        if (s.runs == 0) continue;
        const std::pair<int, Estimate> point{along.valueAt(s.point % along.count()), plottedEstimate(s, q)};
        curves[s.point / along.count()].push_back(point);
        all.push_back(point);
    }
    const int repeats = plan.base().repeats;
    const QString errors = repeats == 1 ? QString("± standard error from the correlation time")
                                        : QString("mean ± standard error of %1 runs").arg(repeats);
    auto* yAxis = quantityAxis(all, q, QString::fromStdString(quantityTitle(q)) + ", " + errors);
    chart->addAxis(yAxis, Qt::AlignLeft);
    const double capHalfWidth = (to - from) / 150.0;
    for (std::size_t k = 0; k < curves.size(); ++k) {
        std::string name;
        const auto values = per.valuesAt(k);
        for (std::size_t j = 0; j < values.size(); ++j)
            name += (j ? ", " : "") + per.names[j] + " " + std::to_string(values[j]);
        addQuantity(*chart, *xAxis, *yAxis, QString::fromStdString(name), curves[k], curveColour(k), capHalfWidth);
    }
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    writeScenePng(scene, png);
}

}  // namespace

void writeSweepChart(const SweepPlan& plan, const std::vector<PointSummary>& summary, PlotQuantity q,
                     PlotStyle style, std::ostream& png) {
    ChartApplication application;
    const auto& sweeps = plan.base().sweeps;
    if (sweeps.size() == 2) {
        if (style == PlotStyle::curves)
            writeCurves(plan, summary, q, png);
        else
            writePhaseDiagram(plan, summary, q, png);
        return;
    }
    const Sweep& x = sweeps[0];
    // the first flag's values on the axis, a paired axis's too
    const auto [from, to] = spanOf(x);

    QGraphicsScene scene;
    auto* chart = new QChart;  // owned by the scene
    scene.addItem(chart);
    chart->setGeometry(0, 0, kWidth, kHeight);
    const bool withSusceptibility = q != PlotQuantity::susceptibility;
    chart->setTitle(QString::fromStdString(quantityTitle(q) + (withSusceptibility ? " and susceptibility" : "") +
                                           " against " + x.label()));
    auto* xAxis = sweptAxis(x.label(), from, to);
    chart->addAxis(xAxis, Qt::AlignBottom);

    const int repeats = plan.base().repeats;
    const QString errors = repeats == 1 ? QString("± standard error from the correlation time")
                                        : QString("mean ± standard error of %1 runs").arg(repeats);
    const double capHalfWidth = (to - from) / 150.0;
    const auto points = pointsOf(plan, summary, q);
    const QString title = QString::fromStdString(quantityTitle(q));
    auto* yAxis = quantityAxis(points, q, title + ", " + errors);
    chart->addAxis(yAxis, Qt::AlignLeft);
    addQuantity(*chart, *xAxis, *yAxis, title, points, QColor(0x1f77b4), capHalfWidth);
    if (withSusceptibility) {
        // the susceptibility peaks where the order parameter falls: on an axis of its own, on the right
        const auto chi = pointsOf(plan, summary, PlotQuantity::susceptibility);
        auto* chiAxis = quantityAxis(chi, PlotQuantity::susceptibility,
                                     repeats == 1 ? QString("susceptibility") : "susceptibility, " + errors);
        chart->addAxis(chiAxis, Qt::AlignRight);
        addQuantity(*chart, *xAxis, *chiAxis, "susceptibility", chi, QColor(0xd62728), capHalfWidth);
    }
    chart->legend()->setVisible(withSusceptibility);
    chart->legend()->setAlignment(Qt::AlignTop);

    writeScenePng(scene, png);
}

}  // namespace nyajkor::batch
