// The page's worker: it holds the flock (the engine compiled to
// WebAssembly) so that ticks and frames never hold up the page.
//
// Each message is one operation with the controls as they stand; the answer
// carries the statistics and handler-visible state after it, the frame's
// pixels when one was drawn, and the bytes or refusal an operation gives.
// Messages are served one at a time in the order they come, as the window
// runs its handlers and ticks.
"use strict";

const enginePromise = createNyajkorEngine();

function stateOf(m, separator) {
    return {
        individuals: m._nyk_individuals(),
        predators: m._nyk_predators(),
        strength: m._nyk_strength(),
        centre: [m._nyk_centre(0), m._nyk_centre(1), m._nyk_centre(2)],
        ticks: m._nyk_ticks(),
        orderPercent: m._nyk_order_percent(),
        meanNeighbours: m._nyk_mean_neighbours(),
        orderCaption: m.UTF8ToString(m._nyk_order_caption()),
        neighboursCaption: m.UTF8ToString(m._nyk_neighbours_caption(separator.charCodeAt(0))),
    };
}

function withInts(m, values, use) {
    const p = m._malloc(4 * values.length);
    try {
        m.HEAP32.set(values, p >> 2);
        return use(p);
    } finally {
        m._free(p);
    }
}

function withString(m, text, use) {
    const bytes = new TextEncoder().encode(text + "\0");
    const p = m._malloc(bytes.length);
    try {
        m.HEAPU8.set(bytes, p);
        return use(p);
    } finally {
        m._free(p);
    }
}

function pixelsOf(m) {
    const size = 4 * m._nyk_view_width() * m._nyk_view_height();
    return m.HEAPU8.slice(m._nyk_pixels(), m._nyk_pixels() + size).buffer;
}

// What each operation does; a true result means a frame was drawn.
const operations = {
    hello: () => false,
    start: (m, msg) => (m._nyk_start(msg.seed >>> 0), true),
    restart: (m, msg) => (m._nyk_restart(msg.seed >>> 0), true),
    tick: (m) => (m._nyk_tick(), true),
    redraw: (m) => (m._nyk_redraw(), true),
    strength: (m, msg) => (m._nyk_set_strength(msg.value), false),
    centre: (m, msg) => (m._nyk_set_centre(msg.axis, msg.value), false),
    centreToMiddle: (m) => (m._nyk_centre_to_middle(), false),
    addPredator: (m, msg, answer) => ((answer.added = m._nyk_add_predator() === 1), false),
    deletePredators: (m) => (m._nyk_delete_predators(), false),
    zoom: (m, msg) => (m._nyk_set_zoom(msg.value), false),
    colour: (m, msg) => (withString(m, msg.item, (p) => m._nyk_set_colour(p, msg.value >>> 0)), false),
    save: (m, msg, answer) => {
        const p = m._nyk_checkpoint();
        answer.bytes = m.HEAPU8.slice(p, p + m._nyk_text_size()).buffer;
        return false;
    },
    restore: (m, msg, answer) => {
        const bytes = new Uint8Array(msg.bytes);
        const p = m._malloc(Math.max(bytes.length, 1));
        try {
            m.HEAPU8.set(bytes, p);
            answer.refusal = m.UTF8ToString(m._nyk_restore(p, bytes.length));
        } finally {
            m._free(p);
        }
        if (answer.refusal) return false;
        const n = m._nyk_input_count();
        const out = m._malloc(4 * n);
        m._nyk_get_inputs(out);
        answer.inputs = Array.from(m.HEAP32.subarray(out >> 2, (out >> 2) + n));
        m._free(out);
        return false;
    },
};

self.onmessage = async (event) => {
    const msg = event.data;
    const m = await enginePromise;
    const answer = {id: msg.id};
    try {
        withInts(m, msg.inputs, (p) => m._nyk_set_inputs(p));
        const started = performance.now();
        const drew = operations[msg.op](m, msg, answer);
        answer.milliseconds = performance.now() - started;
        answer.state = stateOf(m, msg.separator);
        answer.largestState = m._nyk_largest_state();
        answer.inputCount = m._nyk_input_count();
        answer.view = [m._nyk_view_width(), m._nyk_view_height()];
        if (drew) answer.pixels = pixelsOf(m);
    } catch (error) {
        answer.error = String(error && error.message ? error.message : error);
    }
    const transfer = [answer.pixels, answer.bytes].filter(Boolean);
    self.postMessage(answer, transfer);
};
