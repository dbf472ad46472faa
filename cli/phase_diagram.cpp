#include "cli/phase_diagram.h"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

#include "cli/frame_picture.h"

namespace nyajkor::batch {

namespace {

constexpr int kWidth = 900, kHeight = 640;
// the map's corners, and the colour bar right of it
constexpr int kLeft = 90, kTop = 60, kRight = kWidth - 190, kBottom = kHeight - 80;
constexpr int kBarLeft = kWidth - 150, kBarWidth = 24;
constexpr int kMaxLabels = 12;

// The stops of the scale, evenly spaced from 0 to 1.
constexpr std::array<QRgb, 5> kScale = {0x440154, 0x3b528b, 0x21918c, 0x5ec962, 0xfde725};

// The values the colours span: the order parameter's whole range, so that
// maps compare at a glance; the others' from the data.
std::pair<double, double> scaleRange(const std::vector<PointSummary>& summary, PlotQuantity q) {
    if (q == PlotQuantity::order) return {0, 1};
    double lo = INFINITY, hi = -INFINITY;
    for (const PointSummary& s : summary) {
        const double v = plottedEstimate(s, q).mean;
        if (s.runs == 0 || std::isnan(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (q == PlotQuantity::susceptibility) lo = 0;
    if (!(lo < hi)) return {std::isfinite(lo) ? lo - 0.5 : 0, std::isfinite(hi) ? hi + 0.5 : 1};
    return {lo, hi};
}

QString number(double v) { return QString::number(v, 'g', 3); }

// Labels of a flag's values under (across) or beside (up) the cells,
// every k-th of them when there are too many to read.
void drawValueLabels(QPainter& painter, const Sweep& s, bool across) {
    const std::size_t count = s.count();
    const std::size_t every = (count + kMaxLabels - 1) / kMaxLabels;
    const double cell = (across ? kRight - kLeft : kBottom - kTop) / static_cast<double>(count);
    for (std::size_t k = 0; k < count; k += every) {
        const double centre = cell * (static_cast<double>(k) + 0.5);
        const QString text = QString::number(s.valueAt(k));
        if (across)
            painter.drawText(QRectF(kLeft + centre - 40, kBottom + 6, 80, 20), Qt::AlignHCenter | Qt::AlignTop, text);
        else
            painter.drawText(QRectF(kLeft - 86, kBottom - centre - 10, 80, 20), Qt::AlignRight | Qt::AlignVCenter,
                             text);
    }
}

void drawColourBar(QPainter& painter, std::pair<double, double> range, const QString& title) {
    QLinearGradient gradient(0, kBottom, 0, kTop);
    for (std::size_t k = 0; k < kScale.size(); ++k)
        gradient.setColorAt(static_cast<double>(k) / (kScale.size() - 1), QColor(kScale[k]));
    const QRectF bar(kBarLeft, kTop, kBarWidth, kBottom - kTop);
    painter.fillRect(bar, gradient);
    painter.drawRect(bar);
    for (int k = 0; k <= 4; ++k) {
        const double y = kBottom - (kBottom - kTop) * k / 4.0;
        painter.drawLine(QPointF(kBarLeft + kBarWidth, y), QPointF(kBarLeft + kBarWidth + 5, y));
        painter.drawText(QRectF(kBarLeft + kBarWidth + 8, y - 10, 80, 20), Qt::AlignLeft | Qt::AlignVCenter,
                         number(range.first + (range.second - range.first) * k / 4.0));
    }
    painter.drawText(QRectF(kBarLeft - 40, kTop - 34, kBarWidth + 80, 20), Qt::AlignHCenter, title);
}

}  // namespace

Estimate plottedEstimate(const PointSummary& s, PlotQuantity q) {
    switch (q) {
    case PlotQuantity::susceptibility: return s.susceptibility;
    case PlotQuantity::binder: return s.binder;
    case PlotQuantity::order: break;
    }
    return {s.order.mean, std::isnan(s.order.se) ? s.orderError : s.order.se};
}

std::string quantityTitle(PlotQuantity q) {
    switch (q) {
    case PlotQuantity::susceptibility: return "Susceptibility";
    case PlotQuantity::binder: return "Binder cumulant";
    case PlotQuantity::order: break;
    }
    return "Order parameter";
}

QColor scaleColour(double fraction) {
    const double at = std::clamp(fraction, 0.0, 1.0) * (kScale.size() - 1);
    const std::size_t k = std::min(static_cast<std::size_t>(at), kScale.size() - 2);
    const double t = at - static_cast<double>(k);
    const QColor a(kScale[k]), b(kScale[k + 1]);
    auto mix = [t](int from, int to) { return static_cast<int>(std::lround(from + (to - from) * t)); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

void writePhaseDiagram(const SweepPlan& plan, const std::vector<PointSummary>& summary, PlotQuantity q,
                       std::ostream& png) {
    const Sweep& across = plan.base().sweeps[0];
    const Sweep& up = plan.base().sweeps[1];
    const auto range = scaleRange(summary, q);
    const double cellWidth = (kRight - kLeft) / static_cast<double>(across.count());
    const double cellHeight = (kBottom - kTop) / static_cast<double>(up.count());

    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    // a point with no finished run, or a quantity it could not tell, stays grey
    painter.fillRect(QRectF(kLeft, kTop, kRight - kLeft, kBottom - kTop), QColor(0xd0d0d0));
    for (const PointSummary& s : summary) {
        const double v = plottedEstimate(s, q).mean;
        if (s.runs == 0 || std::isnan(v)) continue;
        // the point's steps along the two axes, the first outermost
        const double i = static_cast<double>(s.point / up.count()), j = static_cast<double>(s.point % up.count());
        // whole pixels on both sides of every cell: no seams between them
        const QRectF cell(QPointF(std::round(kLeft + i * cellWidth), std::round(kBottom - (j + 1) * cellHeight)),
                          QPointF(std::round(kLeft + (i + 1) * cellWidth), std::round(kBottom - j * cellHeight)));
        painter.fillRect(cell, scaleColour((v - range.first) / (range.second - range.first)));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    painter.drawRect(QRectF(kLeft, kTop, kRight - kLeft, kBottom - kTop));
    drawValueLabels(painter, across, true);
    drawValueLabels(painter, up, false);
    painter.drawText(QRectF(kLeft, kBottom + 34, kRight - kLeft, 24), Qt::AlignHCenter,
                     QString::fromStdString(across.label()));
    painter.save();
    painter.translate(22, (kTop + kBottom) / 2.0);
    painter.rotate(-90);
    painter.drawText(QRectF(-150, -12, 300, 24), Qt::AlignCenter, QString::fromStdString(up.label()));
    painter.restore();
    QFont bold = painter.font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    painter.setFont(bold);
    const int repeats = plan.base().repeats;
    const std::string runs = repeats == 1 ? "one run" : "mean of " + std::to_string(repeats) + " runs";
    painter.drawText(QRectF(0, 12, kWidth, 30), Qt::AlignHCenter,
                     QString::fromStdString(quantityTitle(q) + " over " + across.label() + " and " + up.label() + ", " +
                                            runs + " a point"));
    painter.setFont(QFont());
    drawColourBar(painter, range, QString::fromStdString(quantityTitle(q)));
    painter.end();
    writePng(image, "plot", png);
}

}  // namespace nyajkor::batch
