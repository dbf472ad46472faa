// The compiled part of the Python package nyajkor3d. The package's
// __init__.py turns keyword arguments into the runner's flags and tables
// into numpy arrays; everything that runs the model is here.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "python/py_flock.h"
#include "python/py_sweep.h"

namespace py = pybind11;
using nyajkor::python::PyFlock;

PYBIND11_MODULE(_nyajkor3d, m) {
    m.doc() = "The compiled part of nyajkor3d; use the package nyajkor3d itself.";

    py::class_<PyFlock>(m, "_Flock")
        .def(py::init<const std::vector<std::string>&>(), py::arg("flags"),
             "Start with the runner's flags (\"--name=value\").")
        .def("tick", &PyFlock::tick, "Runs one tick, exactly the runner's.")
        .def("_run", &PyFlock::run, py::arg("ticks"), py::arg("every"), py::arg("callback"), py::arg("flock"))
        .def_property_readonly("order", &PyFlock::order, "The order parameter after the last tick, 0..1.")
        .def_property_readonly("neighbours", &PyFlock::neighbours,
                               "The average number of perceived neighbours after the last tick.")
        .def_property_readonly("nearest_distance", &PyFlock::nearestDistance,
                               "The mean nearest-neighbour distance after the last tick.")
        .def_property_readonly("tick_count", &PyFlock::tickCount,
                               "The ticks run since Start (a loaded flock counts on from its checkpoint's).")
        .def_property_readonly("n", &PyFlock::individuals, "The number of individuals.")
        .def_property_readonly(
            "positions", &PyFlock::positions,
            "The positions as a read-only (N, 3) float64 array, individuals in index order.\n\n"
            "Reading it again before the next change of the state returns the same array\n"
            "without a copy. The array is valid until the next tick, run, load or change of\n"
            "the controls: then an array taken before is filled with NaN, so that a stale\n"
            "view is never taken for the current state. Use snapshot() for copies to keep.")
        .def_property_readonly(
            "velocities", &PyFlock::velocities,
            "The velocities as a read-only (N, 3) float64 array, with the contract of positions.")
        .def_property_readonly("predators", &PyFlock::predators,
                               "The predators' positions, a (P, 3) float64 copy (P = 0..5).")
        .def_property_readonly("centre", &PyFlock::centre, "The attracting centre's position (x, y, z).")
        .def("snapshot", &PyFlock::snapshot,
             "Owned copies of the state: a dict of tick, positions, velocities, predators and centre.")
        .def("correlation", &PyFlock::correlation, py::arg("bin") = 1.0,
             "The connected velocity correlation C(r) of the state, in distance bins `bin` wide up to\n"
             "half the box's smallest extent, as the runner's --correlation gives it for one tick: a\n"
             "dict of r_low, r_high, pairs, uu_mean and C (NaN where a bin has no pairs), and xi, the\n"
             "first distance where C falls to zero (NaN when it does not).")
        .def("_controls", &PyFlock::controls)
        .def("_move_controls", &PyFlock::moveControls, py::arg("flags"))
        .def("_save", &PyFlock::save, py::arg("path"))
        .def("_write_frame", &PyFlock::writeFrame, py::arg("path"), py::arg("flags"), py::arg("width"),
             py::arg("height"))
        .def("_begin_recording", &PyFlock::beginRecording, py::arg("flag"), py::arg("path"), py::arg("every"),
             py::arg("width"), py::arg("height"))
        .def("_finish_recording", &PyFlock::finishRecording, py::arg("commit"))
        .def_property_readonly("recording", &PyFlock::recording, "Whether a trajectory is being recorded.");

    m.def("_sweep_tables", &nyajkor::python::sweepTables, py::arg("flags"),
          "The runner's --csv and --summary tables of the sweep its flags ask for.");
}
