#include "python/py_flock.h"

#include <cerrno>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <variant>

#include "cli/frame_picture.h"
#include "cli/run_recording.h"
#include "cli/run_setup.h"
#include "model/checkpoint.h"
#include "model/controls.h"
#include "model/random.h"
#include "model/simulation.h"
#include "model/workers.h"
#include "record/real_text.h"
#include "study/correlation.h"

namespace nyajkor::python {

void raiseRefusal(const std::exception& e) { throw py::value_error(e.what()); }

batch::Options parsedOptions(const std::vector<std::string>& args) {
    try {
        return batch::parseOptions(args);
    } catch (const study::RefusedInput& e) {
        raiseRefusal(e);
    }
}

void raiseOnSignal() {
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

namespace {

// Raises OSError(error, message, path): Python picks the subclass of the
// errno (FileNotFoundError, PermissionError, IsADirectoryError, ...).
[[noreturn]] void raiseOSError(int error, const std::string& message, const std::string& path) {
    PyErr_SetObject(PyExc_OSError, py::make_tuple(error, message, path).ptr());
    throw py::error_already_set();
}

// The errno a refused output path stands for.
int errnoOf(const files::TargetRefusal& r) {
    switch (r.problem) {
        case files::TargetProblem::emptyName:
        case files::TargetProblem::danglingLink:
        case files::TargetProblem::folderMissing: return ENOENT;
        case files::TargetProblem::folderName:
        case files::TargetProblem::isDirectory: return EISDIR;
        case files::TargetProblem::notWritable:
        case files::TargetProblem::folderNotWritable: return EACCES;
        case files::TargetProblem::unsupportedKind: return EINVAL;
        case files::TargetProblem::systemError: return r.error;
    }
    return EINVAL;
}

// Begins the output file of the runner's flag `flag`; OSError with the
// runner's refusal when it cannot.
void beginFile(const char* flag, const std::string& path, std::optional<batch::OutputFile>& file) {
    std::ostringstream noStandardOutput;
    try {
        batch::beginOutputs({{flag, path, file}}, noStandardOutput);
    } catch (const study::RefusedInput& e) {
        const auto examined = files::examineTarget(path);
        const auto* refusal = std::get_if<files::TargetRefusal>(&examined);
        raiseOSError(refusal ? errnoOf(*refusal) : EIO, e.what(), path);
    }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double* dataOf(const py::array& a) { return static_cast<double*>(const_cast<void*>(a.data())); }

void setReadOnly(py::array& a) {
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
}

// The runner's name of a distance mode and of a centre mode.
const char* distanceModeName(const Inputs& in) {
    if (in.autotaszito) return "auto-repulsive";
    if (in.egyenitaszito) return "custom-repulsive";
    if (in.autovonzo) return "auto-attractive";
    if (in.egyenivonzo) return "custom-attractive";
    return "off";
}

const char* centreName(const Inputs& in) {
    if (in.kozepenvonzo) return "middle";
    if (in.mozgovonzo) return "moving";
    if (in.elhelyez) return "placed";
    return "off";
}

// A Python keyword from a runner's flag: hyphens as underscores.
std::string keywordOf(std::string flag) {
    for (char& c : flag)
        if (c == '-') c = '_';
    return flag;
}

}  // namespace

py::array StateArray::view(const Flock& f) {
    if (!current_) {
        const py::ssize_t n = f.egyeddb;
        if (!array_ || array_.shape(0) != n) {
            array_ = py::array_t<double>({n, py::ssize_t{3}});
            setReadOnly(array_);
        }
        double* out = dataOf(array_);
        const auto &x = f.*x_, &y = f.*y_, &z = f.*z_;
        for (py::ssize_t i = 0; i < n; ++i) {  // the model counts individuals from 1
            out[3 * i] = x[i + 1];
            out[3 * i + 1] = y[i + 1];
            out[3 * i + 2] = z[i + 1];
        }
        current_ = true;
    }
    return array_;
}

void StateArray::invalidate() {
    if (!current_) return;
    current_ = false;
    // nobody else holds it: filled afresh on the next read
    if (!array_ || array_.ref_count() == 1) return;
    // views handed out keep this one alive: they read NaN from now on, and
    // the next read gets an array of its own
    double* data = dataOf(array_);
    std::fill(data, data + array_.size(), kNaN);
    array_ = py::array();
}

// The runner's recording of a run along the way, into one file.
struct PyFlock::Recording {
    batch::Options options;
    std::string path;
    long first = 0;                      // the tick it began at
    std::ostringstream standardOutput;   // never written: the file is named
    std::optional<batch::OutputFile> file;
    std::optional<batch::RunRecording> run;
};

// Marks the flock as ticking while the GIL is released, when other
// threads may run Python code: they may neither tick it nor read it then.
class PyFlock::Busy {
public:
    explicit Busy(PyFlock& f) : f_(f) {
        if (f_.busy_.exchange(true)) throw std::runtime_error("the flock is running in another thread");
    }
    ~Busy() { f_.busy_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    PyFlock& f_;
};

PyFlock::PyFlock(const std::vector<std::string>& args) : args_(args), options_(parsedOptions(args)) {
    const batch::Options& o = options_;
    if (!o.sweeps.empty() || !o.csvPath.empty() || !o.checkpointPath.empty())
        throw py::value_error("a flock takes the flags of a run's setup only");
    research_ = study::isResearchSetup(o);
    flock_ = std::make_unique<Flock>(std::max(study::individualsOf(o), kMaxEgyed));
    Flock& f = *flock_;
    if (o.checkpointToResume.empty()) {
        inputs_ = study::controlsFor(o);
        study::prepareRun(f, o, inputs_, o.seed.value_or(clockSeed()));
        // the order of the seeded velocities, for what tick 0 shows
        computeOrderParameter(f);
        batch::prepareView(view_, inputs_);
        return;
    }
    ViewSettings settings;
    try {
        restoreCheckpoint(readCheckpointFile(o.checkpointToResume), f, settings, inputs_, ticks_);
    } catch (const CheckpointError& e) {
        const int error = errno;
        const std::string message = "--resume: " + study::quoted(o.checkpointToResume) + " " + e.what();
        if (e.problem() == CheckpointProblem::unreadable)
            raiseOSError(error ? error : EIO, message, o.checkpointToResume);
        throw py::value_error(message);
    }
    applyViewSettings(view_, settings);
    setBoxConstants(f);
    batch::moveGivenControls(f, view_, inputs_, o);
}

PyFlock::~PyFlock() = default;

void PyFlock::checkIdle() const {
    if (busy_) throw std::runtime_error("the flock is running in another thread");
}

void PyFlock::recordTick() {
    if (recording_) recording_->run->afterTick(*flock_, inputs_, view_, ticks_, recording_->first);
}

void PyFlock::stateChanged() {
    positions_.invalidate();
    velocities_.invalidate();
}

void PyFlock::advance() {
    checkIdle();
    stateChanged();
    {
        Busy busy(*this);
        py::gil_scoped_release unlocked;
        nyajkor::tick(*flock_, inputs_);
    }
    ++ticks_;
    recordTick();
}

void PyFlock::tick() { advance(); }

py::dict PyFlock::run(long ticks, long every, const py::object& callback, const py::object& self) {
    if (ticks < 0) throw py::value_error("ticks: " + std::to_string(ticks) + " is negative");
    if (every < 1) throw py::value_error("every: " + std::to_string(every) + " is not 1 or more");
    std::vector<long> tick, percent, strength;
    std::vector<double> order, neighbours, distance;
    const std::size_t rows = static_cast<std::size_t>(ticks / every);
    for (auto* v : {&tick, &percent, &strength}) v->reserve(rows);
    for (auto* v : {&order, &neighbours, &distance}) v->reserve(rows);
    for (long t = 1; t <= ticks; ++t) {
        advance();
        if (t % every == 0) {
            const Flock& f = *flock_;
            tick.push_back(ticks_);
            percent.push_back(f.rendszazalek);
            order.push_back(f.rendparameter);
            neighbours.push_back(f.atlagszomszed);
            distance.push_back(f.atlagtav);
            strength.push_back(f.tavtartaserosseg);
        }
        // between two ticks: the state is whole when Ctrl-C stops the run here
        raiseOnSignal();
        if (t % every == 0 && !callback.is_none()) callback(self);
    }
    py::dict columns;
    columns["tick"] = py::array_t<long>(static_cast<py::ssize_t>(tick.size()), tick.data());
    columns["order_percent"] = py::array_t<long>(static_cast<py::ssize_t>(percent.size()), percent.data());
    columns["order"] = py::array_t<double>(static_cast<py::ssize_t>(order.size()), order.data());
    columns["avg_neighbours"] = py::array_t<double>(static_cast<py::ssize_t>(neighbours.size()), neighbours.data());
    columns["mean_nn_distance"] = py::array_t<double>(static_cast<py::ssize_t>(distance.size()), distance.data());
    columns["strength"] = py::array_t<long>(static_cast<py::ssize_t>(strength.size()), strength.data());
    return columns;
}

py::array PyFlock::predators() const {
    const Flock& f = *flock_;
    py::array_t<double> a({py::ssize_t{f.ragadozodb}, py::ssize_t{3}});
    auto m = a.mutable_unchecked<2>();
    for (int p = 0; p < f.ragadozodb; ++p) {
        m(p, 0) = f.ragx[p + 1];
        m(p, 1) = f.ragy[p + 1];
        m(p, 2) = f.ragz[p + 1];
    }
    return a;
}

py::tuple PyFlock::centre() const { return py::make_tuple(flock_->vonzox, flock_->vonzoy, flock_->vonzoz); }

py::dict PyFlock::snapshot() const {
    checkIdle();
    const Flock& f = *flock_;
    py::array_t<double> positions({py::ssize_t{f.egyeddb}, py::ssize_t{3}});
    py::array_t<double> velocities({py::ssize_t{f.egyeddb}, py::ssize_t{3}});
    auto p = positions.mutable_unchecked<2>();
    auto v = velocities.mutable_unchecked<2>();
    for (int i = 0; i < f.egyeddb; ++i) {
        p(i, 0) = f.x[i + 1];
        p(i, 1) = f.y[i + 1];
        p(i, 2) = f.z[i + 1];
        v(i, 0) = f.vx[i + 1];
        v(i, 1) = f.vy[i + 1];
        v(i, 2) = f.vz[i + 1];
    }
    py::dict d;
    d["tick"] = ticks_;
    d["positions"] = positions;
    d["velocities"] = velocities;
    d["predators"] = predators();
    d["centre"] = centre();
    return d;
}

py::dict PyFlock::correlation(double bin) const {
    checkIdle();
    // the runner's check of the width
    parsedOptions({"--correlation=-", "--bin=" + realText(bin)});
    const Flock& f = *flock_;
    const study::TickCorrelation t = study::velocityCorrelation(study::pointsOf(f), f.box, bin, &Workers::shared());
    study::CorrelationTable table(t.bins);
    table.addTick(t);
    const std::size_t n = t.bins.count();
    py::array_t<double> low(n), high(n), uu(n), c(n);
    py::array_t<std::int64_t> pairs(n);
    for (std::size_t k = 0; k < n; ++k) {
        low.mutable_at(k) = t.bins.low(k);
        high.mutable_at(k) = t.bins.high(k);
        pairs.mutable_at(k) = static_cast<std::int64_t>(table.pairs(k));
        uu.mutable_at(k) = table.uuMean(k);
        c.mutable_at(k) = table.correlation(k);
    }
    py::dict d;
    d["r_low"] = low;
    d["r_high"] = high;
    d["pairs"] = pairs;
    d["uu_mean"] = uu;
    d["C"] = c;
    d["xi"] = table.xi().count() ? table.xi().mean() : kNaN;
    return d;
}

py::dict PyFlock::controls() const {
    checkIdle();
    py::dict d;
    for (const Control& c : kControls)
        if (c.flag) d[py::str(keywordOf(c.flag))] = inputs_.*c.position;
    if (!inputs_.tkpvonzas) d["cohesion"] = py::none();
    d["distance_mode"] = distanceModeName(inputs_);
    d["centre"] = centreName(inputs_);
    d["centre_at"] = py::make_tuple(inputs_.xvonzokord, inputs_.yvonzokord, inputs_.zvonzokord);
    d["predators"] = flock_->ragadozodb;
    d["anaglyph"] = inputs_.szemuveg;
    d["no_cube"] = !inputs_.befoglalokocka;
    return d;
}

void PyFlock::moveControls(const std::vector<std::string>& args) {
    checkIdle();
    std::vector<std::string> all = args;
    // the runner moves the controls given with --resume as the user would
    // between ticks; a research setup cannot be resumed, and its flags
    // are refused as the runner refuses them
    if (!research_) all.push_back("--resume=-");
    const batch::Options moved = parsedOptions(all);
    batch::moveGivenControls(*flock_, view_, inputs_, moved);
    stateChanged();
}

void PyFlock::save(const std::string& path) {
    checkIdle();
    // the runner's refusals: standard output, a research setup
    std::vector<std::string> args = args_;
    args.push_back("--checkpoint=" + path);
    parsedOptions(args);
    std::optional<batch::OutputFile> file;
    beginFile("checkpoint", path, file);
    file->stream() << checkpointBytes(*flock_, viewSettingsOf(view_), inputs_, ticks_);
    try {
        file->commit();
    } catch (const std::exception& e) {
        raiseOSError(EIO, e.what(), path);
    }
}

void PyFlock::writeFrame(const std::string& path, const std::vector<std::string>& viewFlags, int width,
                         int height) {
    checkIdle();
    // the runner's refusals: the size, standard output, a research setup's box
    std::vector<std::string> args = args_;
    args.insert(args.end(), viewFlags.begin(), viewFlags.end());
    args.push_back("--frame=" + path);
    args.push_back("--size=" + std::to_string(width) + "x" + std::to_string(height));
    parsedOptions(args);
    if (!viewFlags.empty()) {
        std::vector<std::string> moves = viewFlags;
        moves.push_back("--resume=-");
        batch::moveGivenControls(*flock_, view_, inputs_, parsedOptions(moves));
    }
    std::optional<batch::OutputFile> file;
    beginFile("frame", path, file);
    try {
        batch::writeFramePicture(*flock_, inputs_, view_, width, height, file->stream());
        file->commit();
    } catch (const std::exception& e) {
        raiseOSError(EIO, e.what(), path);
    }
}

void PyFlock::beginRecording(const std::string& flag, const std::string& path, long every, int width, int height) {
    checkIdle();
    if (recording_) throw std::runtime_error("the flock is recording already; close that recording first");
    // the file is put in place at the end; standard output has no place
    if (path == "-") throw py::value_error("--" + flag + ": cannot go to standard output; name a file");
    std::vector<std::string> args = args_;
    args.push_back("--" + flag + "=" + path);
    args.push_back("--every=" + std::to_string(every));
    if (flag == "movie") args.push_back("--size=" + std::to_string(width) + "x" + std::to_string(height));
    auto r = std::make_unique<Recording>();
    r->options = parsedOptions(args);
    r->path = path;
    r->first = ticks_;
    try {
        batch::checkRecordingNeeds(r->options, r->standardOutput);
    } catch (const study::RefusedInput& e) {
        raiseRefusal(e);
    }
    beginFile(flag.c_str(), path, r->file);
    std::ostream* out = &r->file->stream();
    r->run.emplace(r->options, flag == "trajectory" ? out : nullptr, flag == "movie" ? out : nullptr,
                   r->standardOutput);
    recording_ = std::move(r);
    recordTick();
}

void PyFlock::finishRecording(bool commit) {
    checkIdle();
    if (!recording_) return;
    std::unique_ptr<Recording> r = std::move(recording_);
    if (!commit) return;  // the temporary file goes with it, and an encoder is abandoned
    r->run->finish();     // a movie that failed: RuntimeError with the encoder's reason
    try {
        r->file->commit();
    } catch (const std::exception& e) {
        raiseOSError(EIO, e.what(), r->path);
    }
}

}  // namespace nyajkor::python
