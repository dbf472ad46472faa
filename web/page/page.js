// The main window in the page: the column of run buttons, scroll bars and
// statistics, the menus and the view, built from the window's own tables
// (NYAJKOR_TABLES) and driven as the window drives them.
//
// The page keeps the controls, as the window keeps its widgets, and runs
// the window's handlers on them; the flock lives in a worker
// (NYAJKOR_WORKER_SOURCE), which gets the controls as they stand with every
// operation and answers with the frame and the statistics. The timer sends
// a tick every 40 ms while the run goes, and never a second one while one
// is still under way, so a slow machine runs slower but the page keeps
// answering.
"use strict";

(() => {
    const T = NYAJKOR_TABLES;
    const TICK_MILLISECONDS = 40;
    const HISTORY_CAPACITY = 2000;
    const byId = (id) => document.getElementById(id);
    const textOf = (caption) => caption.replace(/&(.)/g, "$1");

    // ---- the worker ----------------------------------------------------------

    const worker = new Worker(
        URL.createObjectURL(new Blob([NYAJKOR_WORKER_SOURCE], {type: "text/javascript"})));
    const waiting = new Map();
    let nextId = 1;
    // what the handlers read of the flock, as of the last answer
    const model = {individuals: 0, predators: 0, strength: 0, centre: [0, 0, 0], ticks: 0};
    let largestState = 0;
    const decimalSeparator = (1.5).toLocaleString(document.documentElement.lang).charAt(1) || ".";

    function send(op, extra = {}, transfer = []) {
        const id = nextId++;
        const message = Object.assign({id, op, inputs: inputValues(), separator: decimalSeparator}, extra);
        return new Promise((resolve, reject) => {
            waiting.set(id, {resolve, reject});
            worker.postMessage(message, transfer);
        });
    }

    worker.onmessage = (event) => {
        const answer = event.data;
        const promise = waiting.get(answer.id);
        waiting.delete(answer.id);
        if (answer.error) {
            showMessage("Hiba: " + answer.error);
            promise.reject(new Error(answer.error));
            return;
        }
        Object.assign(model, answer.state);
        largestState = answer.largestState;
        if (answer.pixels) showFrame(answer.pixels, answer.view);
        promise.resolve(answer);
    };
    worker.onerror = (event) => showMessage("Hiba: " + (event.message || "a szimuláció nem indult el"));

    // ---- the message line ------------------------------------------------------

    function showMessage(text) {
        const line = byId("uzenet");
        line.textContent = text;
        line.hidden = !text;
    }

    // ---- the column ---------------------------------------------------------------

    const panels = new Map();
    const buttons = {};
    const bars = {};
    const labels = {};

    function buildColumn() {
        const column = byId("Panel2");
        column.style.width = T.columnWidth + "px";
        for (const row of T.panels) {
            const panel = document.createElement("div");
            panel.className = "panel";
            if (row.name) panel.id = row.name;
            Object.assign(panel.style, {top: row.top + "px", height: row.height + "px", width: T.panelWidth + "px"});
            column.appendChild(panel);
            panels.set(row.name, panel);
        }
        const p14 = byId("Panel14");
        Object.assign(p14.style, {left: T.panel14.left + "px", top: T.panel14.top + "px",
                                  width: T.panel14.width + "px", height: T.panel14.height + "px"});
        panels.set("Panel14", p14);
        // in the order of the page, top to bottom, so Tab goes down the column
        const pieces = [];
        // a label that continues another comes after it
        for (const row of T.labels) pieces.push({top: row.top, left: row.after ? Infinity : row.left, panel: row.panel, make: () => makeLabel(row)});
        for (const row of T.buttons) pieces.push({top: row.top, left: row.left, panel: row.panel, make: () => makeButton(row)});
        for (const row of T.controls) pieces.push({top: row.top, left: 0, panel: row.panel, make: () => makeBar(row)});
        const panelTop = (name) => (name === "Panel14" ? 10000 : T.panels.find((p) => p.name === name).top);
        pieces.sort((a, b) => panelTop(a.panel) + a.top - (panelTop(b.panel) + b.top) || a.left - b.left);
        for (const piece of pieces) piece.make();
    }

    function makeLabel(row) {
        const label = document.createElement("span");
        label.id = row.name;
        label.className = row.heading ? "label heading" : "label";
        label.textContent = row.caption;
        label.style.top = row.top + "px";
        label.style.left = row.left + "px";
        panels.get(row.panel).appendChild(label);
        if (row.after) {
            const before = labels[row.after];
            label.style.left = before.offsetLeft + before.offsetWidth + 3 + "px";
        }
        labels[row.name] = label;
    }

    function makeButton(row) {
        const button = document.createElement("button");
        button.id = row.name;
        button.type = "button";
        button.textContent = row.caption;
        Object.assign(button.style, {left: row.left + "px", top: row.top + "px",
                                     width: row.width + "px", height: row.height + "px"});
        button.disabled = !row.enabled;
        button.addEventListener("click", () => handlers[row.name + "Click"]());
        panels.get(row.panel).appendChild(button);
        buttons[row.name] = button;
    }

    // A scroll bar: a range input whose hint (title) is its value. The
    // window's keys move it: arrows by the small change, Page Up/Down by the
    // large one, Home/End to the ends.
    function makeBar(row) {
        const input = document.createElement("input");
        input.type = "range";
        input.id = row.name;
        input.min = row.min;
        input.max = row.max;
        input.step = 1;
        input.value = row.start;
        input.title = String(row.start);
        input.disabled = !row.enabled;
        const place = row.panel === "Panel14" ? T.panel14Bar : T.columnBar;
        Object.assign(input.style, {left: place.left + "px", top: row.top + "px",
                                    width: place.width + "px", height: place.height + "px"});
        const bar = {row, input, value: row.start};
        input.addEventListener("input", () => moved(bar, Number(input.value)));
        input.addEventListener("keydown", (event) => {
            const step = {ArrowRight: row.small, ArrowUp: row.small, ArrowLeft: -row.small, ArrowDown: -row.small,
                          PageUp: row.large, PageDown: -row.large}[event.key];
            let to = null;
            if (step !== undefined) to = bar.value + step;
            if (event.key === "Home") to = row.min;
            if (event.key === "End") to = row.max;
            if (to === null) return;
            event.preventDefault();
            moved(bar, Math.min(row.max, Math.max(row.min, to)));
        });
        panels.get(row.panel).appendChild(input);
        bars[row.name] = bar;
    }

    // The bar takes a position; a change keeps the hint and runs the handler.
    function moved(bar, position) {
        bar.input.value = position;
        if (position === bar.value) return;
        bar.value = position;
        bar.input.title = String(position);
        const handler = handlers[bar.row.name + "Change"];
        if (handler) handler();
    }

    // A position set by a handler: clamped to the range; when it differs from
    // the current one the bar takes it, is enabled and runs its handler.
    function setPosition(bar, position) {
        position = Math.min(bar.row.max, Math.max(bar.row.min, position));
        if (position === bar.value) return;
        setEnabled(bar, true);
        moved(bar, position);
    }

    function setEnabled(bar, enabled) {
        bar.input.disabled = !enabled;
    }

    // ---- the menus ------------------------------------------------------------------

    // Items of the window the page does not offer: a movie and a replay need
    // files the page cannot write or follow.
    const NOT_ON_THE_PAGE = new Set(["startRecording", "stopRecording", "replay", "endReplay"]);
    const items = {};

    function buildMenus() {
        const bar = byId("MainMenu1");
        const lists = new Map();
        for (const row of T.menus) {
            if (NOT_ON_THE_PAGE.has(row.name)) continue;
            const entry = document.createElement("li");
            entry.id = row.name;
            entry.setAttribute("role", "menuitem");
            const caption = document.createElement("span");
            caption.className = "caption";
            caption.textContent = textOf(row.caption);
            entry.appendChild(caption);
            const item = {row, entry, caption, checked: row.kind === "checked", enabled: true, visible: !row.hidden};
            if (row.kind === "submenu") {
                const list = document.createElement("ul");
                list.className = "menu";
                list.setAttribute("role", "menu");
                entry.appendChild(list);
                entry.classList.add(row.parent ? "submenu" : "top");
                lists.set(row.name, list);
            } else {
                if (row.kind !== "item") entry.setAttribute("role", "menuitemcheckbox");
                entry.addEventListener("click", (event) => {
                    event.stopPropagation();
                    closeMenus();
                    clickItem(row.name);
                });
            }
            if (!row.parent) {
                entry.classList.add("top");
                entry.tabIndex = -1;
                entry.addEventListener("click", (event) => {
                    if (event.target.closest("li") !== entry) return;
                    const open = entry.classList.contains("open");
                    closeMenus();
                    if (!open && row.kind === "submenu") entry.classList.add("open");
                });
            }
            (row.parent ? lists.get(row.parent) : bar).appendChild(entry);
            items[row.name] = item;
            showItem(item);
        }
        document.addEventListener("click", (event) => {
            if (!event.target.closest("#MainMenu1")) closeMenus();
        });
    }

    function closeMenus() {
        for (const open of document.querySelectorAll("#MainMenu1 .open")) open.classList.remove("open");
    }

    function showItem(item) {
        item.entry.hidden = !item.visible;
        item.entry.classList.toggle("disabled", !item.enabled);
        item.entry.setAttribute("aria-disabled", String(!item.enabled));
        if (item.row.kind === "check" || item.row.kind === "checked") {
            item.entry.classList.toggle("checked", item.checked);
            item.entry.setAttribute("aria-checked", String(item.checked));
        }
    }

    // A click on an item: its check mark toggles, then its handler runs.
    function clickItem(name) {
        const item = items[name];
        if (!item.enabled || !item.visible) return;
        if (item.row.kind === "check" || item.row.kind === "checked") setChecked(name, !item.checked);
        const handler = handlers[name + "Click"];
        if (handler) handler();
    }

    function setChecked(name, checked) {
        items[name].checked = checked;
        showItem(items[name]);
    }
    const isChecked = (name) => items[name].checked;
    function setItemEnabled(name, enabled) {
        items[name].enabled = enabled;
        showItem(items[name]);
    }
    function setVisible(name, visible) {
        items[name].visible = visible;
        showItem(items[name]);
    }

    // The controls in the engine's order: positions, then check marks.
    function inputValues() {
        return T.inputOrder.map((name) => (bars[name] ? bars[name].value : isChecked(name) ? 1 : 0));
    }

    // ---- the view -----------------------------------------------------------------------

    let viewImage = null;

    function showFrame(pixels, [width, height]) {
        const canvas = byId("DX");
        if (canvas.width !== width || canvas.height !== height) {
            canvas.width = width;
            canvas.height = height;
        }
        if (!viewImage || viewImage.width !== width) viewImage = new ImageData(width, height);
        viewImage.data.set(new Uint8ClampedArray(pixels));
        canvas.getContext("2d").putImageData(viewImage, 0, 0);
    }

    // ---- the timer and the statistics ---------------------------------------------------

    let timer = null;
    let tickUnderWay = false;
    // The timer came while a tick was under way: like the window's overdue
    // timer, the next tick starts as soon as that one ends, rather than at
    // the timer's next turn, which would halve the pace of a tick just
    // over 40 ms.
    let tickDue = false;
    const tickTimes = [];

    function setTimerEnabled(enabled) {
        if (enabled && !timer) timer = setInterval(onTimer, TICK_MILLISECONDS);
        if (!enabled && timer) {
            clearInterval(timer);
            timer = null;
            tickDue = false;
        }
        document.body.dataset.running = String(Boolean(timer));
    }

    function onTimer() {
        if (tickUnderWay) {
            tickDue = true;
            return;
        }
        tickUnderWay = true;
        send("tick").then((answer) => {
            tickUnderWay = false;
            tickTimes.push(answer.milliseconds);
            if (tickTimes.length > 100) tickTimes.shift();
            document.body.dataset.tickMilliseconds = (tickTimes.reduce((a, b) => a + b, 0) / tickTimes.length).toFixed(2);
            showStatistics(answer.state);
            if (tickDue && timer) {
                tickDue = false;
                onTimer();
            }
        }, () => (tickUnderWay = false));
    }

    const history = [];

    function showCaptions(state) {
        labels.Label22.textContent = state.neighboursCaption;
        labels.Label7.textContent = state.orderCaption;
        document.body.dataset.ticks = String(state.ticks);
    }

    function showStatistics(state) {
        showCaptions(state);
        history.push({percent: state.orderPercent, neighbours: state.meanNeighbours});
        if (history.length > HISTORY_CAPACITY) history.shift();
        drawPlot();
    }

    // The order parameter over the ticks held, oldest at the left, 0..100 % over the plot's height.
    function drawPlot() {
        const plot = byId("idosorablak");
        if (plot.hidden) return;
        const canvas = byId("idosor");
        const g = canvas.getContext("2d");
        g.fillStyle = "#fff";
        g.fillRect(0, 0, canvas.width, canvas.height);
        g.strokeStyle = "#ccc";
        for (const p of [25, 50, 75]) {
            const y = canvas.height * (1 - p / 100);
            g.beginPath();
            g.moveTo(0, y);
            g.lineTo(canvas.width, y);
            g.stroke();
        }
        if (history.length < 2) return;
        g.strokeStyle = "#0000c0";
        g.beginPath();
        history.forEach((sample, i) => {
            const x = (i / (history.length - 1)) * canvas.width;
            const y = canvas.height * (1 - sample.percent / 100);
            if (i === 0) g.moveTo(x, y);
            else g.lineTo(x, y);
        });
        g.stroke();
    }

    // ---- run control ----------------------------------------------------------------------

    let firstSeed = null;  // the address's seed, for the first Start
    let zoomFromAddress = false;

    function clockSeed() {
        return crypto.getRandomValues(new Uint32Array(1))[0];
    }

    function beginRun(op) {
        for (const name of ["tovabb", "ujraindit", "stop"]) buttons[name].disabled = false;
        const seed = firstSeed !== null ? firstSeed : clockSeed();
        firstSeed = null;
        history.length = 0;
        drawPlot();
        const started = send(op, {seed}).then((answer) => {
            showCaptions(answer.state);
            updateRecordingItems();
        });
        setTimerEnabled(true);
        return started;
    }

    function updateRecordingItems() {
        setItemEnabled("saveState", model.individuals > 0);
    }

    // Resolves once every operation sent so far is done, so that what the
    // handlers read of the flock is as the window would read it between ticks.
    function settled() {
        return send("hello");
    }

    function redraw() {
        return send("redraw");
    }

    function runKey() {
        const button = !buttons.start.disabled ? buttons.start : timer ? buttons.stop : buttons.tovabb;
        if (!button.disabled) button.click();
    }

    const tavegyeztetes = (sugar, tavolsag) => (sugar >= tavolsag ? tavolsag : Math.max(sugar, bars.tavolsag.row.min));

    // ---- the handlers, as the window's ----------------------------------------------------

    const handlers = {
        startClick() {
            buttons.start.disabled = true;
            for (const name of ["egyedszam", "vkozos", "parameter", "sugar", "nagyitas", "Xalfa", "Zbeta"])
                setEnabled(bars[name], true);
            const started = beginRun("start");
            // a setup from the address shows at its zoom, as the runner draws it
            if (zoomFromAddress) send("zoom", {value: bars.nagyitas.value});
            zoomFromAddress = false;
            return started;
        },
        ujrainditClick: () => beginRun("restart"),
        stopClick: () => setTimerEnabled(false),
        tovabbClick: () => setTimerEnabled(true),
        Button1Click() {
            const p14 = byId("Panel14");
            p14.hidden = !p14.hidden;
        },
        Panel15Click() {
            handlers.Button1Click();
        },

        egyedszamChange() {
            // the run halts; the next restart takes the new N
            buttons.stop.disabled = true;
            buttons.ujraindit.disabled = false;
            buttons.tovabb.disabled = true;
            setTimerEnabled(false);
        },
        sugarChange() {
            setPosition(bars.tavolsag, tavegyeztetes(bars.sugar.value, bars.tavolsag.value));
        },
        tavolsagChange() {
            handlers.sugarChange();
        },
        egyensulyerossegChange() {
            model.strength = bars.egyensulyerosseg.value;
            send("strength", {value: bars.egyensulyerosseg.value});
        },
        XalfaChange: () => redraw(),
        ZbetaChange: () => redraw(),
        nagyitasChange() {
            send("zoom", {value: bars.nagyitas.value});
            redraw();
        },
        xvonzokordChange: () => moveCentre(0, bars.xvonzokord.value),
        yvonzokordChange: () => moveCentre(1, bars.yvonzokord.value),
        zvonzokordChange: () => moveCentre(2, bars.zvonzokord.value),

        autotaszitoClick: () => distanceKeepingClicked("autotaszito", true),
        egyenitaszitoClick: () => distanceKeepingClicked("egyenitaszito", false),
        autovonzoClick: () => distanceKeepingClicked("autovonzo", true),
        egyenivonzoClick: () => distanceKeepingClicked("egyenivonzo", false),

        kozepenvonzoClick() {
            centreItemClicked("kozepenvonzo");
            if (isChecked("kozepenvonzo")) send("centreToMiddle");
        },
        mozgovonzoClick: () => centreItemClicked("mozgovonzo"),
        elhelyezClick() {
            centreItemClicked("elhelyez");
            if (!isChecked("elhelyez")) {
                buttons.Button1.disabled = true;
                return;
            }
            buttons.Button1.disabled = false;
            handlers.Button1Click();
            // the bars show the centre, where it is once the tick under way is
            // done, as far as their range allows; a bar that has to move also
            // moves the centre to its position
            settled().then(() => ["xvonzokord", "yvonzokord", "zvonzokord"].forEach((name, axis) =>
                setPosition(bars[name], roundHalfEven(model.centre[axis]))));
        },
        tkpvonzasClick() {
            setEnabled(bars.tkpvonzaserosseg, isChecked("tkpvonzas"));
        },

        ujragadozoClick() {
            send("addPredator").then((answer) => {
                if (!answer.added) return;  // five already: nothing changes
                showPredatorCount();
                setEnabled(bars.ragadozoeszleles, true);
                setEnabled(bars.reakcioerosseg, true);
            });
        },
        ragadozotorlesClick() {
            send("deletePredators").then(showPredatorCount);
            setEnabled(bars.ragadozoeszleles, false);
            setEnabled(bars.reakcioerosseg, false);
        },

        szemuvegClick() {
            // the colour menu of the view in force: two eyes or five objects
            setVisible("szemuvegszinek", isChecked("szemuveg"));
            setVisible("szinek", !isChecked("szemuveg"));
        },
        rendparameteridosorClick() {
            byId("idosorablak").hidden = !isChecked("rendparameteridosor");
            drawPlot();
        },
        kepmentesClick: () => savePicture(),
        saveStateClick: () => saveState(),
        loadStateClick: () => byId("allapotfajl").click(),

        reszecskeszinClick: () => chooseColour("reszecskeszin"),
        hatterszinClick: () => chooseColour("hatterszin"),
        kockaszinClick: () => chooseColour("kockaszin"),
        vonzoszinClick: () => chooseColour("vonzoszin"),
        ragadozoszinClick: () => chooseColour("ragadozoszin"),
        balszemClick: () => chooseColour("balszem"),
        jobbszemClick: () => chooseColour("jobbszem"),

        Nvjegy1Click() {
            const memo = byId("Memo1");
            memo.hidden = !memo.hidden;
        },
        Memo1Click() {
            byId("Memo1").hidden = true;
        },
    };

    function moveCentre(axis, value) {
        model.centre[axis] = value;
        send("centre", {axis, value});
    }

    // At most one of the four items is checked. An automatic item tunes the
    // strength itself; a custom one opens its scroll bar at the strength in
    // effect, which may be where the tuning has taken it.
    function distanceKeepingClicked(clicked, automatic) {
        for (const name of ["autotaszito", "egyenitaszito", "autovonzo", "egyenivonzo"])
            if (name !== clicked) setChecked(name, false);
        if (!isChecked(clicked)) {
            setEnabled(bars.egyensulyerosseg, false);
            setEnabled(bars.tavolsag, false);
        } else if (automatic) {
            setEnabled(bars.egyensulyerosseg, false);
            setEnabled(bars.tavolsag, true);
        } else {
            setEnabled(bars.egyensulyerosseg, true);
            setEnabled(bars.tavolsag, true);
            // the strength in effect once the tick under way, which may tune it, is done
            settled().then(() => setPosition(bars.egyensulyerosseg, model.strength));
        }
    }

    // At most one of the three centre items is checked; any of them uses the
    // strength scroll bar.
    function centreItemClicked(clicked) {
        for (const name of ["kozepenvonzo", "mozgovonzo", "elhelyez"]) if (name !== clicked) setChecked(name, false);
        setEnabled(bars.vonzaserosseg, isChecked(clicked));
    }

    function roundHalfEven(v) {
        const r = Math.round(v);
        return Math.abs(v % 1) === 0.5 && r % 2 !== 0 ? r - 1 : r;
    }

    function showPredatorCount() {
        items.ragadozo.caption.textContent = model.predators + " ragadozó";
    }

    // ---- colours ----------------------------------------------------------------------------

    // The picker opens with the colour last confirmed in it, whichever object
    // that was for; closing it without a choice changes nothing.
    let lastChosenColour = "#000000";
    let colourFor = null;

    function chooseColour(item) {
        const picker = byId("CD");
        colourFor = item;
        picker.value = lastChosenColour;
        picker.click();
    }

    function colourChosen() {
        const picker = byId("CD");
        lastChosenColour = picker.value;
        const rgb = parseInt(picker.value.slice(1), 16);
        // the canvas layout, 0x00BBGGRR
        const colour = ((rgb & 0xff) << 16) | (rgb & 0xff00) | ((rgb >> 16) & 0xff);
        send("colour", {item: colourFor, value: colour});
    }

    // ---- files --------------------------------------------------------------------------------

    function download(blob, name) {
        const link = document.createElement("a");
        link.href = URL.createObjectURL(blob);
        link.download = name;
        document.body.appendChild(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    }

    // The view's pixels as they are shown, as a PNG picture.
    function savePicture() {
        byId("DX").toBlob((blob) => download(blob, "nyajkor3d.png"), "image/png");
    }

    // The run's whole state in the desktop program's checkpoint format.
    function saveState() {
        if (!items.saveState.enabled) return;
        send("save").then((answer) =>
            download(new Blob([answer.bytes], {type: "application/octet-stream"}), "nyajkor3d.ckpt"));
    }

    // A saved state: every control and check mark from the file, the run
    // waiting for Tovább. A file that cannot be used changes nothing.
    async function loadState(file) {
        const failed = (reason) => showMessage("Az állapot betöltése nem sikerült: " + file.name + ": " + reason);
        let bytes;
        try {
            // one byte past the largest state is enough to tell a file is too long
            bytes = await file.slice(0, largestState + 1).arrayBuffer();
        } catch (error) {
            return failed("a fájl nem olvasható");
        }
        // no tick with the controls as they stand may come between the state and its controls
        const wasRunning = Boolean(timer);
        setTimerEnabled(false);
        const answer = await send("restore", {bytes}, [bytes]);
        if (answer.refusal) {
            setTimerEnabled(wasRunning);
            return failed(answer.refusal);
        }
        showMessage("");
        showControlsOf(answer.inputs);
        enableControlsOfTheModes();
        // a paused run: Tovább goes on, Stop changes nothing but is not refused
        buttons.start.disabled = true;
        for (const name of ["stop", "tovabb", "ujraindit"]) buttons[name].disabled = false;
        history.length = 0;
        showStatistics(answer.state);
        updateRecordingItems();
        await redraw();
    }

    // The controls of a restored state, as they were saved: the state holds
    // the run's own values, so nothing the handlers would set is set again.
    function showControlsOf(values) {
        T.inputOrder.forEach((name, k) => {
            if (bars[name]) {
                bars[name].value = values[k];
                bars[name].input.value = values[k];
                bars[name].input.title = String(values[k]);
            } else {
                setChecked(name, values[k] !== 0);
            }
        });
    }

    // What the handlers of the check marks and of Start enable, for the marks as they are.
    function enableControlsOfTheModes() {
        for (const name of ["egyedszam", "vkozos", "parameter", "sugar", "nagyitas", "Xalfa", "Zbeta"])
            setEnabled(bars[name], true);
        const custom = isChecked("egyenitaszito") || isChecked("egyenivonzo");
        const distance = custom || isChecked("autotaszito") || isChecked("autovonzo");
        setEnabled(bars.egyensulyerosseg, custom);
        setEnabled(bars.tavolsag, distance);
        setEnabled(bars.tkpvonzaserosseg, isChecked("tkpvonzas"));
        setEnabled(bars.vonzaserosseg, isChecked("kozepenvonzo") || isChecked("mozgovonzo") || isChecked("elhelyez"));
        buttons.Button1.disabled = !isChecked("elhelyez");
        setEnabled(bars.ragadozoeszleles, model.predators > 0);
        setEnabled(bars.reakcioerosseg, model.predators > 0);
        showPredatorCount();
        handlers.szemuvegClick();
    }

    // ---- a setup from the address --------------------------------------------------------------

    // "?seed=7&n=2000&radius=10&noise=20": the runner's flags of the scroll
    // bars and its seed, each once, whole numbers within their ranges. The
    // first Start uses them; anything else refuses the whole address, which
    // then changes nothing.
    function setupFromAddress(search) {
        const params = new URLSearchParams(search);
        const setup = [];
        let seed = null;
        const seen = new Set();
        const refuse = (why) => {
            throw new Error(why);
        };
        const wholeIn = (key, text, lo, hi) => {
            if (!/^[0-9]{1,10}$/.test(text) || Number(text) < lo || Number(text) > hi)
                refuse(`„${key}=${text}”: ${lo} és ${hi} közötti egész szám kell`);
            return Number(text);
        };
        for (const [key, text] of params) {
            if (seen.has(key)) refuse(`„${key}” kétszer szerepel`);
            seen.add(key);
            if (key === "seed") {
                seed = wholeIn(key, text, 0, 4294967295);
                continue;
            }
            const row = T.controls.find((c) => c.flag === key);
            if (!row) refuse(`„${key}” nem ismert beállítás`);
            setup.push([row, wholeIn(key, text, row.min, row.max)]);
        }
        return {seed, setup};
    }

    function applyAddress() {
        if (!location.search) return;
        let parsed;
        try {
            parsed = setupFromAddress(location.search);
        } catch (error) {
            showMessage("A címben megadott beállítás nem használható: " + error.message);
            return;
        }
        // in the order of the column, as a user would move the bars
        for (const row of T.controls) {
            const given = parsed.setup.find(([r]) => r === row);
            if (!given) continue;
            const bar = bars[row.name];
            if (row.name === "tkpvonzaserosseg" && !isChecked("tkpvonzas")) {
                setChecked("tkpvonzas", true);  // the runner's --cohesion switches the pull on
                handlers.tkpvonzasClick();
            }
            if (given[1] !== bar.value) moved(bar, given[1]);
            if (row.name === "nagyitas") zoomFromAddress = true;
        }
        firstSeed = parsed.seed;
    }

    // ---- the keyboard ---------------------------------------------------------------------------

    function onKey(event) {
        if (event.key === " " && !event.ctrlKey && !event.altKey) {
            // Space presses a focused button; elsewhere it is the run key
            if (document.activeElement && document.activeElement.tagName === "BUTTON") return;
            event.preventDefault();
            runKey();
        } else if (event.key === "F5") {
            event.preventDefault();
            if (!buttons.ujraindit.disabled) buttons.ujraindit.click();
        } else if (event.key === "Insert") {
            event.preventDefault();
            clickItem("ujragadozo");
        } else if ((event.ctrlKey || event.metaKey) && (event.key === "s" || event.key === "S")) {
            event.preventDefault();
            clickItem("kepmentes");
        } else if (event.key === "Escape") {
            closeMenus();
        }
    }

    // ---- start-up -----------------------------------------------------------------------------------

    function init() {
        buildColumn();
        buildMenus();
        updateRecordingItems();
        byId("Panel14").addEventListener("click", (event) => {
            if (event.target === byId("Panel14") || event.target.classList.contains("label")) handlers.Panel15Click();
        });
        byId("Memo1").addEventListener("click", () => handlers.Memo1Click());
        byId("CD").addEventListener("change", colourChosen);
        byId("allapotfajl").addEventListener("change", (event) => {
            const file = event.target.files[0];
            event.target.value = "";
            if (file) loadState(file);
        });
        byId("idosorbezar").addEventListener("click", () => {
            setChecked("rendparameteridosor", false);
            handlers.rendparameteridosorClick();
        });
        document.addEventListener("keydown", onKey);
        applyAddress();
        settled().then(() => (document.body.dataset.ready = "true"));
    }

    init();
})();
