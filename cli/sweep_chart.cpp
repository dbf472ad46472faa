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

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "cli/frame_picture.h"

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

// The lines of the chart: one per value of the second swept flag (one line
// when there is none), the points in the order of the first.
std::map<int, std::vector<std::pair<int, Estimate>>> linesOf(const SweepPlan& plan,
                                                               const std::vector<PointSummary>& summary) {
    std::map<int, std::vector<std::pair<int, Estimate>>> lines;
    for (std::size_t p = 0; p < summary.size(); ++p) {
        if (summary[p].runs == 0) continue;
        const auto& v = plan.values(p);
        lines[v.size() > 1 ? v[1] : 0].emplace_back(v[0], summary[p].order);
    }
    return lines;
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

ChartApplication::ChartApplication() {
    if (QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            throw std::runtime_error("--plot: charts need a widget application");
        return;
    }
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

ChartApplication::~ChartApplication() {
    if (!app_) return;  // the application was someone else's
    app_.reset();
    if (!runtimeFolder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtimeFolder_, ignored);
        qunsetenv("XDG_RUNTIME_DIR");
    }
    qInstallMessageHandler(previousHandler_);
}

void writeSweepChart(const SweepPlan& plan, const std::vector<PointSummary>& summary, std::ostream& png) {
    ChartApplication application;
    const auto& sweeps = plan.base().sweeps;
    const Sweep& x = sweeps[0];
    const int from = x.from, to = x.from == x.to ? x.from + 1 : x.to;

    QGraphicsScene scene;
    auto* chart = new QChart;  // owned by the scene
    scene.addItem(chart);
    chart->setGeometry(0, 0, kWidth, kHeight);
    chart->setTitle(QString::fromStdString("Order parameter against " + x.name));
    // a margin on both sides keeps the end points' error bars whole
    auto* xAxis = new QValueAxis;
    const double margin = (to - from) / 40.0;
    xAxis->setRange(from - margin, to + margin);
    xAxis->setTickType(QValueAxis::TicksDynamic);
    xAxis->setTickAnchor(from);
    xAxis->setTickInterval((to - from) / (tickCount(from, to) - 1.0));
    xAxis->setLabelFormat("%g");
    xAxis->setTitleText(QString::fromStdString(x.name));
    auto* yAxis = new QValueAxis;
    yAxis->setRange(0, 1);
    yAxis->setTickCount(11);
    yAxis->setLabelFormat("%.1f");
    yAxis->setTitleText(QString("order parameter, mean ± standard error of %1 run%2")
                            .arg(plan.base().repeats)
                            .arg(plan.base().repeats == 1 ? "" : "s"));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);

    // The lines first, so that they take the theme's colours in turn; the
    // error bars after them, in their line's colour.
    const auto lines = linesOf(plan, summary);
    std::vector<QLineSeries*> series;
    for (const auto& [second, points] : lines) {
        auto* line = series.emplace_back(new QLineSeries);
        if (sweeps.size() > 1) line->setName(QString::fromStdString(sweeps[1].name + " " + std::to_string(second)));
        line->setPointsVisible(true);
        for (const auto& [value, e] : points) line->append(value, e.mean);
        chart->addSeries(line);
        line->attachAxis(xAxis);
        line->attachAxis(yAxis);
    }
    const double capHalfWidth = (to - from) / 150.0;
    auto line = series.begin();
    for (const auto& [second, points] : lines) {
        for (const auto& [value, e] : points)
            if (!std::isnan(e.se)) addErrorBar(*chart, **line, value, capHalfWidth, e);
        ++line;
    }
    chart->legend()->setVisible(sweeps.size() > 1);
    chart->legend()->setAlignment(Qt::AlignRight);

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QCoreApplication::processEvents();  // lets the chart lay itself out
    scene.render(&painter, QRectF(0, 0, kWidth, kHeight), QRectF(0, 0, kWidth, kHeight));
    painter.end();
    writePng(image, "plot", png);
}

}  // namespace nyajkor::batch
