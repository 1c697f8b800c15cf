// The board as SVG, and the one pointer layer over it. The wood holds the
// lines and the stones; the labels (letters below, numbers to the left) lie
// outside it, where no stone ever covers them. A pointer anywhere on the
// layer stands for the nearest crossing, whatever is drawn there (a stone,
// a number, a mark): so a tap on a stone means that stone's square, never a
// neighbouring one that a browser's touch adjustment would pick among many
// small targets.
"use strict";
import { columnName, rowName, starPoints } from "./notation.js";

const SVGNS = "http://www.w3.org/2000/svg";
export const CELL = 36;       // a square, in the drawing's units
const LABELS = 26;            // the strips for the labels
const STONE = CELL * 0.46;    // a stone's radius

function el(name, attrs, text) {
  const e = document.createElementNS(SVGNS, name);
  for (const k in attrs) e.setAttribute(k, attrs[k]);
  if (text !== undefined) e.textContent = text;
  return e;
}
const cx = (x) => LABELS + CELL / 2 + x * CELL;
const cy = (y) => CELL / 2 + y * CELL;

export class BoardView {
  // `onPointer(square, event)` for a pointer released on the board, with
  // the nearest square [x, y]; `onHover(square|null)` as a mouse moves.
  constructor(svg, onPointer, onHover) {
    this.svg = svg;
    this.size = 0;
    svg.addEventListener("pointerup", (e) => {
      if (e.pointerType === "mouse" && e.button !== 0) return;
      const square = this.squareAt(e);
      if (square) onPointer(square, e);
    });
    svg.addEventListener("pointermove", (e) => { if (e.pointerType === "mouse") onHover(this.squareAt(e)); });
    svg.addEventListener("pointerleave", () => onHover(null));
  }

  // The nearest square to a pointer, or null off the wood.
  squareAt(event) {
    const matrix = this.svg.getScreenCTM();
    if (!matrix || !this.size) return null;
    const p = new DOMPoint(event.clientX, event.clientY).matrixTransform(matrix.inverse());
    const x = Math.round((p.x - cx(0)) / CELL), y = Math.round((p.y - cy(0)) / CELL);
    return x >= 0 && y >= 0 && x < this.size && y < this.size ? [x, y] : null;
  }

  // Screen pixels per square now: below about 30 a finger cannot be sure
  // of its square.
  pixelsPerSquare() {
    const width = this.svg.getBoundingClientRect().width;
    return this.size ? (width * CELL) / (LABELS + this.size * CELL) : 0;
  }

  // view: {size, stones: [[x, y]] in order (black first), numbers (bool),
  // five: [[x, y]], ghosts: [{x, y, colour, n}], hint: [x, y] | null,
  // preview: {x, y, colour} | null, hover: same | null}
  draw(view) {
    const n = view.size, svg = this.svg, wood = n * CELL;
    this.size = n;
    svg.setAttribute("viewBox", `0 0 ${LABELS + wood} ${wood + LABELS}`);
    const parts = [el("rect", { class: "wood", x: LABELS, y: 0, width: wood, height: wood })];
    for (let i = 0; i < n; i++) {
      parts.push(el("line", { class: "grid", x1: cx(0), y1: cy(i), x2: cx(n - 1), y2: cy(i) }));
      parts.push(el("line", { class: "grid", x1: cx(i), y1: cy(0), x2: cx(i), y2: cy(n - 1) }));
      parts.push(el("text", { class: "coord col", x: cx(i), y: wood + LABELS / 2 }, columnName(i)));
      parts.push(el("text", { class: "coord row", x: LABELS / 2, y: cy(i) }, rowName(i, n)));
    }
    for (const [x, y] of starPoints(n)) parts.push(el("circle", { class: "star", cx: cx(x), cy: cy(y), r: 3.5 }));
    view.stones.forEach(([x, y], i) => {
      const colour = i % 2 ? "white" : "black";
      parts.push(el("circle", { class: "stone " + colour, "data-x": x, "data-y": y, cx: cx(x), cy: cy(y), r: STONE }));
      if (view.numbers) parts.push(el("text", { class: "num on-" + colour, x: cx(x), y: cy(y) }, i + 1));
    });
    if (view.stones.length) {
      const [x, y] = view.stones[view.stones.length - 1];
      parts.push(view.numbers ? el("circle", { class: "last ring", id: "lastMark", cx: cx(x), cy: cy(y), r: STONE + 2 })
                              : el("circle", { class: "last", id: "lastMark", cx: cx(x), cy: cy(y), r: 5 }));
    }
    for (const [x, y] of view.five) parts.push(el("circle", { class: "five", cx: cx(x), cy: cy(y), r: CELL * 0.48 }));
    for (const g of view.ghosts) {
      parts.push(el("circle", { class: "ghost " + g.colour, "data-x": g.x, "data-y": g.y, cx: cx(g.x), cy: cy(g.y), r: STONE }));
      parts.push(el("text", { class: "num on-" + g.colour, x: cx(g.x), y: cy(g.y) }, g.n));
    }
    if (view.hint) {
      const [x, y] = view.hint;
      parts.push(el("circle", { class: "hint", id: "hintMark", "data-x": x, "data-y": y, cx: cx(x), cy: cy(y), r: STONE }));
    }
    for (const p of [view.hover, view.preview]) {
      if (p) parts.push(el("circle", { class: (p === view.preview ? "preview " : "hover ") + p.colour,
                                       id: p === view.preview ? "preview" : "hover",
                                       "data-x": p.x, "data-y": p.y, cx: cx(p.x), cy: cy(p.y), r: STONE }));
    }
    // The pointer layer, over everything: the wood and half a square around.
    parts.push(el("rect", { class: "layer", id: "layer", x: LABELS, y: 0, width: wood, height: wood }));
    svg.replaceChildren(...parts);
  }
}
