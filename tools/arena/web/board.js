// The board page's script. All rules live in the server: the page sends
// every click and shows the server's state, or its reason for refusing a
// request. News comes as server-sent events from /api/events, through one
// shared worker for all of the browser's tabs on the page (events-worker.js):
// a browser opens at most six connections to one server, and a stream per
// tab would leave the seventh tab, and every click after it, waiting. Where
// shared workers are missing, the tab opens a stream of its own.
"use strict";
const CELL = 36, MARGIN = 34, EDGE = 22, SVGNS = "http://www.w3.org/2000/svg";
const $ = (id) => document.getElementById(id);
let state = null;       // the newest state shown
let receivedAt = 0;     // performance.now() when it arrived
// For measuring: how long after the server's change each state was shown.
window.velmaroTimings = [];

function el(name, attrs, text) {
  const e = document.createElementNS(SVGNS, name);
  for (const k in attrs) e.setAttribute(k, attrs[k]);
  if (text !== undefined) e.textContent = text;
  return e;
}
const at = (i) => MARGIN + i * CELL;
const playerName = (s, p) => (s.players[p].brain ? s.players[p].name : "you");
const colourOf = (s, p) => (s.black === p ? "black" : "white");
const playerOf = (s, i) => (i % 2 === 0 ? s.black : 1 - s.black);  // who played stone i

function drawBoard(s) {
  const svg = $("board"), n = s.size, side = MARGIN + (n - 1) * CELL + EDGE;
  svg.setAttribute("viewBox", `0 0 ${side} ${side}`);
  svg.replaceChildren();
  for (let i = 0; i < n; i++) {
    svg.append(el("line", { class: "grid", x1: at(0), y1: at(i), x2: at(n - 1), y2: at(i) }));
    svg.append(el("line", { class: "grid", x1: at(i), y1: at(0), x2: at(i), y2: at(n - 1) }));
    svg.append(el("text", { class: "coord", x: at(i), y: MARGIN / 2 - 4 }, i));
    svg.append(el("text", { class: "coord", x: MARGIN / 2 - 4, y: at(i) }, i));
  }
  const taken = new Set();
  s.moves.forEach(([x, y], i) => {
    taken.add(x + "," + y);
    svg.append(el("circle", { class: "stone " + (i % 2 ? "white" : "black"), "data-x": x, "data-y": y,
                              cx: at(x), cy: at(y), r: CELL * 0.45 }));
  });
  for (let y = 0; y < n; y++)
    for (let x = 0; x < n; x++)
      if (!taken.has(x + "," + y))
        svg.append(el("rect", { class: "spot", "data-x": x, "data-y": y, x: at(x) - CELL / 2,
                                y: at(y) - CELL / 2, width: CELL, height: CELL }));
  if (s.moves.length) {
    const [x, y] = s.moves[s.moves.length - 1];
    svg.append(el("circle", { class: "last", id: "lastMark", cx: at(x), cy: at(y), r: 5 }));
  }
  for (const [x, y] of s.five)
    svg.append(el("circle", { class: "five", cx: at(x), cy: at(y), r: CELL * 0.47 }));
}

function statusText(s) {
  if (s.status === "over") {
    const how = s.detail;
    if (s.winner < 0) return "Draw: " + how;
    const who = s.watching ? `${s.players[s.winner].name} (${colourOf(s, s.winner)}) wins`
                           : (s.players[s.winner].brain ? `${s.players[s.winner].name} wins` : "You win");
    return `${who}: ${how}`;
  }
  if (s.status === "starting") return "Starting the game...";
  const p = s.toMove;
  if (s.status === "thinking") {
    const ms = s.thinkingMs + (performance.now() - receivedAt);
    return `${s.players[p].name} (${colourOf(s, p)}) is thinking... ${(ms / 1000).toFixed(1)} s`;
  }
  return `Your turn (${colourOf(s, p)})`;
}

function show(s) {
  if (state && s.version <= state.version && s.changedAt <= state.changedAt) return;
  const brainMoved = !!state && s.moves.length > 0 && s.moves.length !== state.moves.length &&
                     s.players[playerOf(s, s.moves.length - 1)].brain;
  state = s;
  receivedAt = performance.now();
  drawBoard(s);
  $("status").textContent = statusText(s);
  $("colourLabel").hidden = s.watching;
  $("undo").hidden = s.watching;
  for (const id of ["psq", "sgf"]) $(id).className = s.over ? "" : "off";
  const list = $("moves");
  list.replaceChildren();
  s.moves.forEach(([x, y, ms], i) => {
    const p = playerOf(s, i);
    const li = document.createElement("li");
    li.textContent = `${i % 2 ? "O" : "X"} ${x},${y}  ${playerName(s, p)}  ${ms} ms`;
    list.append(li);
  });
  list.scrollTop = list.scrollHeight;
  const log = $("log");
  log.textContent = s.messages.map(([p, text]) => `[${s.players[p].name}] ${text}`).join("\n");
  log.scrollTop = log.scrollHeight;
  // The lag to the frame that shows the state; a hidden tab draws no frames,
  // so there it is the lag to the state's arrival.
  const version = s.version, changedAt = s.changedAt, moves = s.moves.length;
  const note = () =>
    window.velmaroTimings.push({ version, moves, brainMove: brainMoved, lagMs: Date.now() - changedAt });
  if (document.hidden) note(); else requestAnimationFrame(note);
}

async function send(path, body) {
  try {
    const r = await fetch(path, { method: "POST", headers: { "Content-Type": "application/json" },
                                  body: JSON.stringify(body) });
    const answer = await r.json();
    if (!r.ok) {
      $("notice").textContent = "Refused: " + answer.error;
      return;
    }
    $("notice").textContent = "";
    show(answer);
  } catch (e) {
    $("notice").textContent = "The server does not answer: " + e;
  }
}

$("board").addEventListener("click", (event) => {
  const target = event.target.closest("[data-x]");
  if (target) send("/api/move", { x: +target.dataset.x, y: +target.dataset.y });
});
$("newGame").addEventListener("click", () => send("/api/new", { colour: $("colour").value }));
$("undo").addEventListener("click", () => send("/api/undo", {}));
setInterval(() => { if (state && state.status === "thinking") $("status").textContent = statusText(state); }, 100);

// A message from the stream: {state: "<the state as JSON>"} or {offline: true}.
function news(message) {
  if (message.offline) {
    state = null;  // whatever comes after the break is shown
    $("status").textContent = "The server does not answer; retrying...";
  } else {
    show(JSON.parse(message.state));
  }
}

(function listen() {
  if (window.SharedWorker) {
    try {
      const worker = new SharedWorker("/events-worker.js", { name: "velmaro-events" });
      worker.port.onmessage = (event) => news(event.data);
      worker.port.start();
      addEventListener("pagehide", () => worker.port.postMessage("bye"));
      addEventListener("pageshow", (event) => {
        if (event.persisted) worker.port.postMessage("hello");
      });
      return;
    } catch (e) {
      // No worker after all: a stream of this tab's own, below.
    }
  }
  const source = new EventSource("/api/events");
  source.onmessage = (event) => news({ state: event.data });
  source.onerror = () => news({ offline: true });
})();
