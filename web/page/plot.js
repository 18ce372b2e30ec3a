// Draws a curve of (xs[i], ys[i]) into an SVG element: one path, broken where a y is NaN (a
// point that failed), and two axes with ticks at round numbers. Builds the markup as one string,
// which the browser parses once: cheaper per keystroke than creating elements one by one.
"use strict";

const QvPlot = (() => {
  const margin = { left: 56, right: 12, top: 12, bottom: 28 };

  // Round steps of 1, 2 or 5 times a power of ten, about count of them over [lo, hi]; none when
  // the range is too narrow for its magnitude to hold distinct steps.
  function ticks(lo, hi, count) {
    const raw = hi / count - lo / count;
    const power = Math.pow(10, Math.floor(Math.log10(raw)));
    const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw) || raw;
    const first = Math.ceil(lo / step);
    const out = [];
    if (!Number.isFinite(step) || !(step > 0) || first + 1 === first) return out;
    for (let k = first; k * step <= hi + step * 1e-9 && out.length <= 2 * count + 2; k++) out.push(k === 0 ? 0 : k * step);
    return out;
  }

  function label(t) {
    return Math.abs(t) >= 1e5 || (Math.abs(t) < 1e-3 && t !== 0) ? t.toExponential(1) : String(+t.toPrecision(6));
  }

  // The y range of the finite values, widened a little (a tenth of the value around a constant),
  // within the doubles.
  function yRange(ys) {
    let lo = Infinity, hi = -Infinity;
    for (const y of ys) if (Number.isFinite(y)) { if (y < lo) lo = y; if (y > hi) hi = y; }
    if (lo === Infinity) return null;
    const pad = hi - lo > 1e-12 * Math.max(1, Math.abs(lo)) ? (hi / 2 - lo / 2) / 10 : Math.max(1, Math.abs(lo) / 10);
    return [Math.max(lo - pad, -Number.MAX_VALUE), Math.min(hi + pad, Number.MAX_VALUE)];
  }

  // Returns the number of points drawn (finite ones).
  function draw(svg, xs, ys) {
    const width = svg.viewBox.baseVal.width, height = svg.viewBox.baseVal.height;
    const left = margin.left, right = width - margin.right, top = margin.top, bottom = height - margin.bottom;
    const x0 = xs[0], x1 = xs[xs.length - 1];
    const range = yRange(ys);
    if (!range || !(x1 > x0)) { svg.innerHTML = ""; return 0; }
    const [y0, y1] = range;
    const sx = (x) => left + ((x - x0) / (x1 - x0)) * (right - left);
    const sy = (y) => bottom - ((y / 2 - y0 / 2) / (y1 / 2 - y0 / 2)) * (bottom - top);  // halves: y1 - y0 may overflow
    const parts = [];
    for (const t of ticks(x0, x1, 8)) {
      const x = sx(t).toFixed(1);
      parts.push(`<line class="grid" x1="${x}" y1="${top}" x2="${x}" y2="${bottom}"/>`,
                 `<line class="axis tick" x1="${x}" y1="${bottom}" x2="${x}" y2="${bottom + 5}"/>`,
                 `<text x="${x}" y="${bottom + 17}" text-anchor="middle">${label(t)}</text>`);
    }
    for (const t of ticks(y0, y1, 6)) {
      const y = sy(t).toFixed(1);
      parts.push(`<line class="grid" x1="${left}" y1="${y}" x2="${right}" y2="${y}"/>`,
                 `<line class="axis tick" x1="${left - 5}" y1="${y}" x2="${left}" y2="${y}"/>`,
                 `<text x="${left - 8}" y="${y}" dy="0.35em" text-anchor="end">${label(t)}</text>`);
    }
    parts.push(`<line class="axis" x1="${left}" y1="${bottom}" x2="${right}" y2="${bottom}"/>`,
               `<line class="axis" x1="${left}" y1="${top}" x2="${left}" y2="${bottom}"/>`);
    let d = "", pen = false, drawn = 0;
    for (let i = 0; i < xs.length; i++) {
      const y = ys[i];
      if (!Number.isFinite(y)) { pen = false; continue; }
      d += (pen ? "L" : "M") + sx(xs[i]).toFixed(1) + " " + sy(y).toFixed(1);
      pen = true;
      drawn++;
    }
    parts.push(`<path class="curve" d="${d}"/>`);
    svg.innerHTML = parts.join("");
    return drawn;
  }

  return { draw, ticks };
})();
