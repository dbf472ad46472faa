// Puts the page together into one file that works from any folder (file://)
// and any static host: the styles, the generated tables, the worker (the
// engine with its WebAssembly inside, then worker.js) as a string the page
// starts from a Blob, and the page's script.
//
// node assemble.js TEMPLATE CSS TABLES ENGINE WORKER SCRIPT VERSION OUTPUT
"use strict";
const fs = require("fs");

const [template, css, tables, engine, worker, script, version, output] = process.argv.slice(2);
if (!output) {
    console.error("usage: node assemble.js TEMPLATE CSS TABLES ENGINE WORKER SCRIPT VERSION OUTPUT");
    process.exit(2);
}
const read = (path) => fs.readFileSync(path, "utf8");
// "</script" inside an inline script would end it early
const inline = (text) => text.replace(/<\/script/gi, "<\\/script");
const parts = {
    "/*@PAGE_CSS@*/": read(css),
    "/*@PAGE_TABLES@*/": inline(read(tables)),
    "/*@WORKER_SOURCE@*/": inline(JSON.stringify(read(engine) + "\n" + read(worker))),
    "/*@PAGE_SCRIPT@*/": inline(read(script)),
    "@NYAJKOR_VERSION@": version,
};
let page = read(template);
for (const [mark, text] of Object.entries(parts)) {
    if (!page.includes(mark)) {
        console.error(`assemble.js: ${mark} is missing from ${template}`);
        process.exit(1);
    }
    page = page.split(mark).join(text);
}
fs.writeFileSync(output + ".part", page);
fs.renameSync(output + ".part", output);
