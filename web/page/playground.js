// The page: reads the formula, the variables, the functions and the arrays, hands them to a
// fresh engine on every change (qvengine.js, the engine in WebAssembly), and shows the value or
// the failure with a caret, the postfix listing and the plot. The state lives in the URL's
// fragment: f the formula, v the variables (NAME=EXPR;...), u the functions and a the arrays
// (one a line), s=0 for the compatible rules, p the plotted variable and its range (X,-10,10).
"use strict";

const PLOT_POINTS = 2000;
const $ = (id) => document.getElementById(id);
const timings = (window.qvTimings = { firstEvaluation: null, runs: [] });

// ---- the URL's fragment ----

function readFragment() {
  const state = {};
  for (const part of location.hash.replace(/^#/, "").split("&")) {
    const at = part.indexOf("=");
    if (at <= 0) continue;
    try {
      state[part.slice(0, at)] = decodeURIComponent(part.slice(at + 1));
    } catch (e) {
      // a malformed escape: the field is ignored
    }
  }
  return state;
}

function writeFragment(state) {
  const fields = Object.entries(state).filter(([, value]) => value !== "");
  const text = fields.map(([key, value]) => key + "=" + encodeURIComponent(value)).join("&");
  history.replaceState(null, "", "#" + text);
}

// ---- the variables table ----

function addVariableRow(name, value) {
  const row = document.createElement("tr");
  row.innerHTML = '<td><input class="var-name" spellcheck="false"></td><td><input class="var-value" spellcheck="false"></td>' +
                  '<td><button type="button" title="remove">&times;</button></td>';
  row.querySelector(".var-name").value = name;
  row.querySelector(".var-value").value = value;
  row.querySelector("button").addEventListener("click", () => { row.remove(); run(); });
  $("variables").tBodies[0].appendChild(row);
}

function variables() {
  return [...$("variables").tBodies[0].rows]
    .map((row) => [row.querySelector(".var-name").value.trim(), row.querySelector(".var-value").value.trim()])
    .filter(([name]) => name !== "");
}

const lines = (text) => text.split("\n").map((line) => line.trim()).filter((line) => line !== "");

// ---- showing results ----

function describe(failure) {
  return (failure.code ? "error " + failure.code + ": " : "") + failure.description;
}

// The caret stands under the failure's 1-based position in the formula.
function showOutcome(formula, outcome) {
  const failure = outcome.failure;
  $("result").textContent = failure ? "" : outcome.value;
  $("error").textContent = failure ? describe(failure) : "";
  $("caret").textContent = failure && failure.position > 0 ? formula + "\n" + " ".repeat(failure.position - 1) + "^" : "";
  $("listing").textContent = outcome.listing || "";
}

// Each definition in turn; the first failure of each kind is shown under its box.
function defineAll(engine, items, define, errorBox) {
  let message = "";
  for (const item of items) {
    const failure = define(item);
    if (failure && !message) {
      message = item + "\n" + (failure.position > 0 ? " ".repeat(failure.position - 1) + "^ " : "") + describe(failure);
    }
  }
  $(errorBox).textContent = message;
}

function plot(engine, formula) {
  const variable = $("plot-var").value.trim() || "X";
  const from = Number($("plot-from").value), to = Number($("plot-to").value);
  const svg = $("plot");
  const started = performance.now();
  const curve = formula.trim() === "" ? { failure: { description: "" } } : engine.plot(formula, variable, from, to, PLOT_POINTS);
  if (curve.failure) {
    svg.innerHTML = "";
    svg.dataset.points = "0";
    $("plot-note").textContent = curve.failure.description ? "no plot: " + describe(curve.failure) : "";
  } else {
    const drawn = QvPlot.draw(svg, curve.xs, curve.ys);
    svg.dataset.points = String(drawn);
    $("plot-note").textContent = drawn < PLOT_POINTS ? PLOT_POINTS - drawn + " of " + PLOT_POINTS + " points failed" : "";
  }
  return performance.now() - started;
}

// ---- one run: everything from the page's inputs ----

let engine = null;

function run() {
  if (!engine) return;
  const started = performance.now();
  const formula = $("formula").value;
  const strict = $("strict").checked;
  engine.start(strict);
  const vars = variables();
  defineAll(engine, vars, ([name, value]) => {
    const failure = engine.assign(name, value || "0");
    return failure && { ...failure, position: 0, description: name + ": " + failure.description };
  }, "variables-error");
  defineAll(engine, lines($("arrays").value), (line) => engine.defineArray(line), "arrays-error");
  defineAll(engine, lines($("functions").value), (line) => engine.define(line), "functions-error");
  const outcome = formula.trim() === "" ? { value: "" } : engine.evaluate(formula);
  showOutcome(formula, outcome);
  const plotMs = plot(engine, formula);
  const totalMs = performance.now() - started;
  if (timings.firstEvaluation === null) timings.firstEvaluation = performance.now();
  timings.runs.push({ totalMs, plotMs });
  if (timings.runs.length > 1000) timings.runs.shift();
  writeFragment({
    f: formula,
    v: vars.map(([name, value]) => name + "=" + value).join(";"),
    u: lines($("functions").value).join("\n"),
    a: lines($("arrays").value).join("\n"),
    s: strict ? "" : "0",
    p: [$("plot-var").value.trim(), $("plot-from").value, $("plot-to").value].join(",") === "X,-10,10"
         ? "" : [$("plot-var").value.trim(), $("plot-from").value, $("plot-to").value].join(","),
  });
}

// ---- the language reference ----

function showReference(rows) {
  const list = $("reference-list");
  const parts = [];
  for (const row of rows) {
    const dt = document.createElement("dt");
    dt.textContent = row.usage;
    dt.dataset.name = row.name.toLowerCase();
    dt.dataset.kind = row.kind;
    const dd = document.createElement("dd");
    dd.textContent = row.help;
    parts.push(dt, dd);
  }
  list.replaceChildren(...parts);
  $("reference-filter").addEventListener("input", () => {
    const wanted = $("reference-filter").value.trim().toLowerCase();
    for (const dt of list.querySelectorAll("dt")) {
      const shown = !wanted || dt.textContent.toLowerCase().includes(wanted) || dt.nextSibling.textContent.toLowerCase().includes(wanted);
      dt.hidden = dt.nextSibling.hidden = !shown;
    }
  });
}

// ---- start ----

function loadState() {
  const state = readFragment();
  if (state.f !== undefined) $("formula").value = state.f;
  const vars = state.v !== undefined ? state.v.split(";").filter((item) => item.trim() !== "") : ["X=0"];
  $("variables").tBodies[0].replaceChildren();
  for (const item of vars) {
    const at = item.indexOf("=");
    addVariableRow(at < 0 ? item : item.slice(0, at), at < 0 ? "" : item.slice(at + 1));
  }
  $("functions").value = state.u || "";
  $("arrays").value = state.a || "";
  $("strict").checked = state.s !== "0";
  const [variable, from, to] = (state.p || "X,-10,10").split(",");
  $("plot-var").value = variable || "X";
  $("plot-from").value = from !== undefined && from !== "" && Number.isFinite(Number(from)) ? from : "-10";
  $("plot-to").value = to !== undefined && to !== "" && Number.isFinite(Number(to)) ? to : "10";
}

loadState();
document.body.addEventListener("input", (event) => { if (event.target.id !== "reference-filter") run(); });
$("add-variable").addEventListener("click", () => { addVariableRow("", ""); });
window.addEventListener("hashchange", () => { loadState(); run(); });

createQvEngine().then((module) => {
  engine = new module.Playground();
  showReference(module.reference());
  run();
  document.body.dataset.ready = "1";
});
