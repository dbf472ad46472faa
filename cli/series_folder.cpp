#include "cli/series_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <variant>

#include "cli/batch.h"
#include "cli/batch_options.h"
#include "files/whole_file.h"

namespace nyajkor::batch {

namespace {

std::string cannotWriteIn(const std::string& dir, const std::string& reason) {
    return "--series: cannot write in " + quoted(dir) + ": " + reason;
}

// The histogram bin of phi: floor(100 phi), phi = 1 (and rounding past it) in the last.
std::size_t histogramBin(double phi) {
    const double k = std::floor(phi * static_cast<double>(kSeriesHistogramBins));
    return static_cast<std::size_t>(std::clamp(k, 0.0, static_cast<double>(kSeriesHistogramBins - 1)));
}

}  // namespace

SeriesFolder::SeriesFolder(const std::string& dir, const study::SweepPlan& plan) : dir_(dir), plan_(plan) {
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) {
        if (errno != ENOENT) throw UsageError(cannotWriteIn(dir, std::strerror(errno)));
        if (::mkdir(dir.c_str(), 0777) != 0)
            throw UsageError("--series: cannot make the folder " + quoted(dir) + " (" + std::strerror(errno) + ")");
        made_ = true;
        return;
    }
    if (!S_ISDIR(st.st_mode)) throw UsageError(cannotWriteIn(dir, "it is not a folder"));
    if (::access(dir.c_str(), W_OK | X_OK) != 0) throw UsageError(cannotWriteIn(dir, "it is not writable"));
}

std::string SeriesFolder::pointName(std::size_t point) const {
    std::string name;
    const auto names = plan_.names();
    const auto values = plan_.values(point);
    for (std::size_t k = 0; k < names.size(); ++k) name += '_' + names[k] + '=' + std::to_string(values[k]);
    return name;
}

void SeriesFolder::writeFile(const std::string& name, const std::string& text) const {
    const std::string path = dir_ + "/" + name;
    auto examined = files::examineTarget(path);
    const auto* target = std::get_if<files::OutputTarget>(&examined);
    if (!target) throw std::runtime_error("--series: cannot write " + quoted(path));
    files::WholeFile file(*target);
    int error = file.open();
    if (error == 0) {
        file.write(text.data(), text.size());
        error = file.commit();
    }
    if (error != 0)
        throw std::runtime_error("--series: writing " + quoted(path) + " failed (" + std::strerror(error) + ")");
}

void SeriesFolder::addRun(std::size_t run, const std::vector<double>& phi) {
    const std::size_t point = plan_.pointOf(run);
    const long warmup = plan_.base().warmup;
    std::string text = "tick,order\n";
    std::array<std::uint64_t, kSeriesHistogramBins> counts{};
    for (std::size_t t = 0; t < phi.size(); ++t) {
        text += std::to_string(warmup + static_cast<long>(t) + 1) + ',' + realText(phi[t]) + '\n';
        ++counts[histogramBin(phi[t])];
    }
    writeFile("series" + pointName(point) + "_seed=" + std::to_string(plan_.seedOf(run)) + ".csv", text);
    // whole counts: the same sums whatever order the runs finish in
    const std::lock_guard lock(mutex_);
    auto& total = counts_[point];
    for (std::size_t k = 0; k < kSeriesHistogramBins; ++k) total[k] += counts[k];
}

void SeriesFolder::writeHistograms() {
    const std::lock_guard lock(mutex_);
    for (const auto& [point, counts] : counts_) {
        std::string text = "phi_low,phi_high,count\n";
        const double bins = static_cast<double>(kSeriesHistogramBins);
        for (std::size_t k = 0; k < kSeriesHistogramBins; ++k)
            text += realText(static_cast<double>(k) / bins) + ',' + realText(static_cast<double>(k + 1) / bins) + ',' +
                    std::to_string(counts[k]) + '\n';
        writeFile("histogram" + pointName(point) + ".csv", text);
    }
}

void SeriesFolder::removeIfUnused() const {
    if (made_) ::rmdir(dir_.c_str());  // removes nothing but an empty folder
}

}  // namespace nyajkor::batch
