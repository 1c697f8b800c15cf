// The notation players use, and the records they keep. Columns are letters
// from the left (A-O on 15x15, A-T on 20x20; I is a column like the others,
// as Gomoku boards write it), rows are numbers from the bottom, so the
// protocol's square x,y (0-based, y from the top) is named
// LETTERS[x] + (size - y): 7,7 on 15x15 is H8.
//
// readRecord() reads the two records the page offers for download, and
// those of other programs in the same formats:
//   .psq  "Piskvorky 15x15, 11:11, 0", then one "x,y,ms" line per stone,
//         1-based, then optional names (the first line's last field says
//         which of them played black);
//   SGF   SZ[15], then ;B[hh];W[ii]... with a = 0, y from the top; of
//         variations only the main line is read.
"use strict";

const LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
export const MIN_SIZE = 5, MAX_SIZE = 26;

export const columnName = (x) => LETTERS[x];
export const rowName = (y, size) => String(size - y);
export const squareName = (x, y, size) => columnName(x) + rowName(y, size);

// The marked points of a board: the centre, and four points three lines in
// (two on small boards), as board makers draw them.
export function starPoints(size) {
  const c = (size - 1) / 2, points = size % 2 ? [[c, c]] : [];
  if (size < 9) return points;
  const e = size >= 13 ? 3 : 2, f = size - 1 - e;
  return points.concat([[e, e], [f, e], [e, f], [f, f]]);
}

// Stones played one after the other must be on the board and each on a
// free square; the record is refused otherwise.
function checkedMoves(moves, size) {
  const taken = new Set();
  moves.forEach(([x, y], i) => {
    if (!(x >= 0 && y >= 0 && x < size && y < size))
      throw new Error(`move ${i + 1} is off the ${size}x${size} board`);
    if (taken.has(x * size + y)) throw new Error(`move ${i + 1} (${squareName(x, y, size)}) is on a taken square`);
    taken.add(x * size + y);
  });
  return moves;
}

function readPsq(text) {
  const lines = text.split(/\r?\n/);
  const head = /^\s*Piskvorky\s+(\d+)\s*x\s*(\d+)\s*,[^,]*(?:,\s*(\d+))?/i.exec(lines[0]);
  if (!head) throw new Error("the first line is not a .psq header (Piskvorky 15x15, ...)");
  const size = +head[1];
  if (+head[2] !== size) throw new Error(`the board is ${head[1]}x${head[2]}: only square boards are played`);
  checkSize(size);
  const moves = [];
  let i = 1;
  for (; i < lines.length; i++) {
    const m = /^\s*(-?\d+)\s*,\s*(-?\d+)(?:\s*,\s*-?\d+)?\s*$/.exec(lines[i]);
    if (!m) break;
    moves.push([+m[1] - 1, +m[2] - 1]);
  }
  // Then, as the arena writes it: the two names and the end code.
  const names = [lines[i], lines[i + 1]].map((n) => (n || "").trim());
  const blackIndex = head[3] === "1" ? 1 : 0;
  return { size, moves: checkedMoves(moves, size), black: names[blackIndex] || "", white: names[1 - blackIndex] || "" };
}

function checkSize(size) {
  if (!(size >= MIN_SIZE && size <= MAX_SIZE)) throw new Error(`a ${size}x${size} board is not played here (${MIN_SIZE} to ${MAX_SIZE})`);
}

// SGF: a tree of nodes; each node is ';' and properties NAME[value]...
function readSgf(text) {
  let i = 0;
  const props = [];  // [name, [values]] of the main line, in order
  const space = () => { while (i < text.length && /\s/.test(text[i])) i++; };
  function value() {
    let v = "";
    i++;  // '['
    while (i < text.length && text[i] !== "]") {
      if (text[i] === "\\") i++;
      v += text[i++] ?? "";
    }
    if (text[i] !== "]") throw new Error("a property value is not closed with ]");
    i++;
    return v;
  }
  function skipTree() {  // a variation off the main line
    let depth = 0;
    for (; i < text.length; i++) {
      if (text[i] === "[") { value(); i--; continue; }
      if (text[i] === "(") depth++;
      if (text[i] === ")" && --depth === 0) { i++; return; }
    }
  }
  function tree() {
    space();
    if (text[i] !== "(") throw new Error("an SGF record begins with (;");
    i++;
    for (;;) {
      space();
      if (text[i] === ";") {
        i++;
        for (;;) {
          space();
          const name = /^[A-Za-z]+/.exec(text.slice(i, i + 16));
          if (!name) break;
          i += name[0].length;
          space();
          const values = [];
          while (text[i] === "[") { values.push(value()); space(); }
          props.push([name[0].toUpperCase(), values]);
        }
      } else if (text[i] === "(") {
        tree();  // the main line goes on in the first variation
        space();
        while (text[i] === "(") { skipTree(); space(); }
      } else if (text[i] === ")") {
        i++;
        return;
      } else {
        throw new Error(i >= text.length ? "the record ends before its last )" : `unexpected "${text[i]}" in the record`);
      }
    }
  }
  tree();
  const first = (name) => (props.find(([n]) => n === name) || [null, [""]])[1][0];
  const size = props.some(([n]) => n === "SZ") ? parseInt(first("SZ"), 10) : 15;
  checkSize(size);
  if (props.some(([n]) => n === "AB" || n === "AW")) throw new Error("setup stones (AB, AW) are not read: only played moves");
  const moves = [];
  for (const [name, values] of props) {
    if (name !== "B" && name !== "W") continue;
    const n = moves.length + 1, v = values[0] || "";
    if (name !== (moves.length % 2 ? "W" : "B")) throw new Error(`move ${n} is ${name === "B" ? "black" : "white"} out of turn`);
    if (!/^[a-z]{2}$/.test(v)) throw new Error(`move ${n} "${v}" is not a square (a pass?)`);
    moves.push([v.charCodeAt(0) - 97, v.charCodeAt(1) - 97]);
  }
  return { size, moves: checkedMoves(moves, size), black: first("PB") || "", white: first("PW") || "" };
}

// {size, moves: [[x, y], ...], black, white}, or an Error saying why not.
export function readRecord(text) {
  const t = text.replace(/^\uFEFF/, "").trimStart();
  if (t.startsWith("(")) return readSgf(t);
  if (/^Piskvorky/i.test(t)) return readPsq(t);
  throw new Error("this is neither a .psq record (Piskvorky ...) nor an SGF one ((;...)");
}
