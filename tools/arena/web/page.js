// The board page's script. All rules live in the server: the page sends
// every click and shows the server's state, or its reason for refusing a
// request. News comes as server-sent events from /api/events, through one
// shared worker for all of the browser's tabs on the page (events-worker.js):
// a browser opens at most six connections to one server, and a stream per
// tab would leave the seventh tab, and every click after it, waiting. Where
// shared workers are missing, the tab opens a stream of its own.
//
// Besides the game the page keeps only what it shows: the position under
// review (a finished game, or a record loaded from a file, stepped through
// here), the stone a finger has previewed, and the person's choice of
// numbers on the stones.
"use strict";
import { BoardView } from "./board.js";
import { readRecord, squareName, MIN_SIZE } from "./notation.js";

const $ = (id) => document.getElementById(id);
const PAGE_SIZES = 20;         // the form offers 5x5 to 20x20, the brain's boards
const TOUCH_PIXELS = 30;       // below this a tap previews and a second one plays
const SCORE_SCALE = 2000;      // a score this far from 0 fills about three quarters of the bar
const GHOSTS = 12;             // stones of the principal variation drawn
let state = null;              // the newest state shown
let receivedAt = 0;            // performance.now() when it arrived
let clockSkew = 0;             // this machine's wall clock minus the server's
let review = null;             // {file, size, moves, black, white, at} while stepping through a game
let preview = null;            // {x, y}: the square a first tap chose
let hover = null;              // {x, y}: where the mouse is
let pendingClick = null;       // {x, y, at}: a move sent, for its click-to-stone time
let shownGame = 0;             // the game whose settings the form shows
// For measuring: how long after the server's change each state was shown,
// and how long after the click each of the person's stones.
window.velmaroTimings = [];
window.velmaroClicks = [];

const view = new BoardView($("board"), pointed, (square) => {
  hover = square && canPlay() && !taken(square) ? { x: square[0], y: square[1] } : null;
  draw();
});

// Who is who, from the person's side.
const isBrain = (s, p) => s.players[p].brain;
const nameOf = (s, p) => (isBrain(s, p) ? s.players[p].name : "you");
const colourOf = (s, p) => (s.black === p ? "black" : "white");
const playerOf = (s, i) => (i % 2 === 0 ? s.black : 1 - s.black);  // who played stone i
const person = (s) => (s.watching ? -1 : s.players.findIndex((p) => !p.brain));
const Name = (who) => (who === "you" ? "You" : who);  // at the start of a sentence

function taken([x, y]) {
  return shownMoves().some(([a, b]) => a === x && b === y);
}
function canPlay() {
  return !!state && !review && state.status === "turn";
}
// The stones on the board now: the game's, or those of the position under review.
function shownMoves() {
  if (review) return review.moves.slice(0, review.at);
  return state ? state.moves : [];
}

function draw() {
  if (!state && !review) return;
  const size = review ? review.size : state.size;
  const stones = shownMoves().map(([x, y]) => [x, y]);
  const live = !review && state;
  const help = live && state.help && !state.watching;
  const a = live && state.help ? state.analysis : null;
  const ghosts = [];
  if (a && a.active && a.stones === stones.length) {
    const first = a.stones % 2;  // the colour on move: 0 black
    const seen = new Set(stones.map(([x, y]) => x * size + y));
    a.pv.slice(0, GHOSTS).forEach(([x, y], i) => {
      if (seen.has(x * size + y)) return;
      seen.add(x * size + y);
      ghosts.push({ x, y, n: i + 1, colour: (first + i) % 2 ? "white" : "black" });
    });
  }
  const hint = help && state.hint && state.hint.square && state.hint.stones === stones.length
    ? state.hint.square : null;
  const mine = live && person(state) >= 0 ? colourOf(state, person(state)) : "black";
  view.draw({
    size, stones, numbers: $("numbers").checked,
    five: live ? state.five : [],
    ghosts, hint,
    preview: preview && live ? { ...preview, colour: mine } : null,
    hover: hover && live && !preview ? { ...hover, colour: mine } : null,
  });
}

// A pointer released on the board: the nearest square. With a finger on
// small squares the first tap on a free square previews the stone and a
// second tap there plays it; a tap on a stone, or at another moment than
// the person's turn, goes to the server at once, which says why not.
function pointed([x, y], event) {
  if (review) {
    note("Reviewing: step with the arrows, or go back to the game");
    return;
  }
  const fingers = event.pointerType !== "mouse" && view.pixelsPerSquare() < TOUCH_PIXELS;
  if (fingers && canPlay() && !taken([x, y]) && !(preview && preview.x === x && preview.y === y)) {
    preview = { x, y };
    note(`Tap ${squareName(x, y, state.size)} again to play it`, false);
    draw();
    return;
  }
  preview = null;
  pendingClick = { x, y, at: performance.now() };
  send("/api/move", { x, y });
}

function note(text, refusal = true) {
  $("notice").textContent = text;
  $("notice").className = refusal ? "" : "info";
}

function reasonText(s) {
  if (s.reason === "five") return "five in a row";
  if (s.reason === "resigned") return s.watching ? "resigned" : "you resigned";
  if (s.reason === "board full") return "the board is full";
  // The referee's words name the players "engine 1" and "engine 2".
  return s.detail.replace(/engine ([12])/g, (_, n) => (isBrain(s, n - 1) ? s.players[n - 1].name : "you"));
}

function statusText(s) {
  if (s.status === "over") {
    if (s.winner < 0) return "Draw: " + reasonText(s);
    if (s.watching) return `${s.players[s.winner].name} (${colourOf(s, s.winner)}) wins: ${reasonText(s)}`;
    return `${isBrain(s, s.winner) ? "You lose" : "You win"}: ${reasonText(s)}`;
  }
  if (s.status === "starting") return "Starting the game...";
  const seconds = ((s.thinkingMs + (performance.now() - receivedAt)) / 1000).toFixed(1);
  if (s.status === "hint") return `Looking for your best move... ${seconds} s`;
  const p = s.toMove;
  if (s.status === "thinking") return `${s.players[p].name} (${colourOf(s, p)}) is thinking... ${seconds} s`;
  return `Your turn (${colourOf(s, p)})`;
}

function clockText(ms) {
  const t = Math.max(0, Math.floor(ms / 1000));
  return `${Math.floor(t / 60)}:${String(t % 60).padStart(2, "0")}`;
}

function showClocks() {
  const s = state;
  const running = !s.over && s.turnStartedAt > 0 && s.status !== "starting";
  for (const p of [0, 1]) {
    const box = $("clock" + p), on = running && s.toMove === p;
    const ms = s.usedMs[p] + (on ? Date.now() - clockSkew - s.turnStartedAt : 0);
    box.className = "clock" + (on ? " running" : "");
    box.querySelector(".dot").className = "dot " + colourOf(s, p);
    box.querySelector(".who").textContent = Name(nameOf(s, p)) +
      (isBrain(s, p) ? ` (${s.turnMs / 1000} s a move)` : "");
    box.querySelector(".time").textContent = clockText(ms);
  }
}

// The brain's search (or the hint's), from the person's side.
function showAnalysis() {
  const s = state, a = s.analysis, box = $("analysis");
  box.hidden = review !== null || !s.help || !a || (a.depth === 0 && !a.best);
  if (box.hidden) return;
  const chose = a.best ? `${a.hint ? "found" : "chose"} ${squareName(a.best[0], a.best[1], s.size)} by ${a.by}` : "";
  $("barFill").parentElement.hidden = a.depth === 0;
  if (a.depth === 0) {  // no search: an opening rule or a forced reply
    $("scoreText").textContent = "";
    $("searchText").textContent = `${Name(nameOf(s, a.player))} ${chose}`;
    return;
  }
  const size = s.size, searcher = nameOf(s, a.player), other = nameOf(s, 1 - a.player);
  // The bar: the share of black, from the searcher's score.
  let share;
  if (a.winIn !== null) {
    $("scoreText").textContent = `${Name(searcher)} ${searcher === "you" ? "win" : "wins"} in ${a.winIn}`;
    share = 1;
  } else if (a.lossIn !== null) {
    $("scoreText").textContent = `${Name(other)} ${other === "you" ? "win" : "wins"} in ${a.lossIn}`;
    share = 0;
  } else {
    const score = a.score;
    $("scoreText").textContent = `Score ${score > 0 ? "+" : ""}${score} for ${searcher}`;
    share = 0.5 + 0.5 * Math.tanh(score / SCORE_SCALE);
  }
  const blackShare = colourOf(s, a.player) === "black" ? share : 1 - share;
  $("barFill").style.width = `${(100 * blackShare).toFixed(1)}%`;
  const pv = a.pv.map(([x, y]) => squareName(x, y, size)).join(" ");
  const what = a.hint ? "Hint search" : `${Name(nameOf(s, a.player))}'s search`;
  $("searchText").textContent = `${what}: depth ${a.depth}, ${a.nodes.toLocaleString("en")} nodes, ` +
    `${Math.round(a.nps / 1000)}k nodes/s; line ${pv}${chose ? "; " + chose : ""}`;
}

function showMoves() {
  const list = $("moves"), s = state;
  const moves = review ? review.moves : s.moves, size = review ? review.size : s.size;
  list.replaceChildren();
  moves.forEach(([x, y, ms], i) => {
    const li = document.createElement("li");
    const who = review ? (i % 2 ? review.white || "white" : review.black || "black")
                       : nameOf(s, playerOf(s, i));
    const opening = !review && i < s.openingStones;
    li.textContent = `${squareName(x, y, size)} `;
    const when = document.createElement("span");
    when.className = "when";
    when.textContent = opening ? " (loaded)" : review ? ` ${who}` : ` ${who}, ${(ms / 1000).toFixed(1)} s`;
    li.append(when);
    li.className = (opening ? "opening " : "") + (review && i === review.at - 1 ? "now" : "");
    li.dataset.at = i + 1;
    list.append(li);
  });
  const now = list.querySelector(".now");
  if (now) now.scrollIntoView({ block: "nearest" });
  else list.scrollTop = list.scrollHeight;
}

function showReview() {
  const reviewing = review !== null;
  const finished = state && state.over && !state.watching && state.moves.length > 0;
  $("review").hidden = !reviewing && !finished;
  if ($("review").hidden) return;
  const total = reviewing ? review.moves.length : state.moves.length;
  const at = reviewing ? review.at : total;
  $("reviewAt").textContent = `${at} / ${total}`;
  $("first").disabled = $("back").disabled = at === 0;
  $("forward").disabled = $("lastPos").disabled = at === total;
  $("leave").hidden = !reviewing || !!review.game;
  $("playOn").disabled = !state || state.watching;
}

function showControls() {
  const s = state, playing = !s.over && s.status !== "starting";
  $("undo").hidden = $("resign").hidden = s.watching;
  $("undo").disabled = !s.canUndo || !(s.status === "turn" || s.status === "over");
  $("resign").disabled = !playing;
  $("hint").hidden = s.watching || !s.help;
  $("hint").disabled = s.status !== "turn" || !!(s.hint && s.hint.square && s.hint.stones === s.moves.length);
  $("colourLabel").hidden = s.watching;
  for (const id of ["psq", "sgf"]) $(id).className = s.over ? "" : "off";
  // The form shows the settings of the game being played, until the person
  // changes them; a new game from any tab shows its own.
  if (s.game !== shownGame) {
    shownGame = s.game;
    $("size").value = s.size;
    $("turn").value = s.turnMs / 1000;
    $("help").checked = s.help;
    if (!s.watching) $("colour").value = colourOf(s, person(s));
  }
  const log = $("log");
  log.textContent = s.messages.map(([p, text]) => `[${s.players[p].name}] ${text}`).join("\n");
}

function showAll() {
  if (!state) return;
  draw();
  $("status").textContent = review ? reviewStatus() : statusText(state);
  showClocks();
  showControls();
  showAnalysis();
  showMoves();
  showReview();
  if (!review && state.help && state.hint && state.hint.stones === state.moves.length) {
    const h = state.hint;
    if (h.square) note(`Hint: ${squareName(h.square[0], h.square[1], state.size)}`, false);
    else note("No hint: " + h.error);
  }
}

function reviewStatus() {
  if (review.game) return `Reviewing the game: move ${review.at} of ${review.moves.length}`;
  return `Reviewing ${review.file}: move ${review.at} of ${review.moves.length}`;
}

function show(s) {
  if (state && s.version <= state.version && s.changedAt <= state.changedAt) return;
  const brainMoved = !!state && s.moves.length > 0 && s.moves.length !== state.moves.length &&
                     isBrain(s, playerOf(s, s.moves.length - 1));
  const newGame = state && s.game !== state.game;
  state = s;
  receivedAt = performance.now();
  // Every new state clears what was said about the one before.
  preview = null;
  note("", false);
  if (review && review.game && (newGame || !s.over)) review = null;
  showAll();
  // The lag to the frame that shows the state; a hidden tab draws no frames,
  // so there it is the lag to the state's arrival.
  const version = s.version, changedAt = s.changedAt, moves = s.moves.length;
  const click = pendingClick && s.moves.some(([x, y]) => x === pendingClick.x && y === pendingClick.y) ? pendingClick : null;
  if (click) pendingClick = null;
  const noteTimes = () => {
    window.velmaroTimings.push({ version, moves, brainMove: brainMoved, lagMs: Date.now() - changedAt });
    if (click) window.velmaroClicks.push({ moves, ms: performance.now() - click.at });
  };
  if (document.hidden) noteTimes(); else requestAnimationFrame(noteTimes);
}

async function send(path, body) {
  try {
    const r = await fetch(path, { method: "POST", headers: { "Content-Type": "application/json" },
                                  body: JSON.stringify(body) });
    const answer = await r.json();
    if (!r.ok) {
      pendingClick = null;
      note("Refused: " + answer.error);
      return;
    }
    show(answer);
  } catch (e) {
    note("The server does not answer: " + e);
  }
}

// Review: the finished game, or a loaded record.
function step(to) {
  if (!review) {
    if (!state || !state.over) return;
    review = { game: true, size: state.size, moves: state.moves, at: state.moves.length,
               black: nameOf(state, state.black), white: nameOf(state, 1 - state.black) };
  }
  review.at = Math.max(0, Math.min(review.moves.length, to));
  preview = hover = null;
  note("", false);
  showAll();
}
const at = () => (review ? review.at : state ? state.moves.length : 0);
$("first").addEventListener("click", () => step(0));
$("back").addEventListener("click", () => step(at() - 1));
$("forward").addEventListener("click", () => step(at() + 1));
$("lastPos").addEventListener("click", () => step(Infinity));
$("leave").addEventListener("click", () => { review = null; note("", false); showAll(); });
$("moves").addEventListener("click", (e) => {
  const li = e.target.closest("li");
  if (li && (review || (state && state.over))) step(+li.dataset.at);
});
addEventListener("keydown", (e) => {
  if (e.target.closest("input, select, textarea") || $("review").hidden) return;
  if (e.key === "ArrowLeft") step(at() - 1);
  else if (e.key === "ArrowRight") step(at() + 1);
  else if (e.key === "Home") step(0);
  else if (e.key === "End") step(Infinity);
  else return;
  e.preventDefault();
});
$("load").addEventListener("change", async () => {
  const file = $("load").files[0];
  if (!file) return;
  try {
    const record = readRecord(await file.text());
    review = { file: file.name, ...record, at: record.moves.length };
    preview = null;
    note("", false);
    showAll();
  } catch (e) {
    note(`Cannot read ${file.name}: ${e.message}`);
  }
  $("load").value = "";
});

// The new-game form, also to play on from the position under review.
function settings() {
  const turnMs = Math.round(parseFloat($("turn").value) * 1000);
  return { size: +$("size").value, turnMs: Number.isFinite(turnMs) ? turnMs : state.turnMs,
           colour: $("colour").value, help: $("help").checked };
}
$("newGame").addEventListener("submit", (e) => {
  e.preventDefault();
  review = null;
  send("/api/new", settings());
});
$("playOn").addEventListener("click", () => {
  const moves = shownMoves().map(([x, y]) => [x, y]);
  const size = review ? review.size : state.size;
  review = null;
  send("/api/new", { ...settings(), size, moves });
});
for (let n = MIN_SIZE; n <= PAGE_SIZES; n++) $("size").append(new Option(`${n}x${n}`, n));
$("undo").addEventListener("click", () => send("/api/undo", {}));
$("resign").addEventListener("click", () => send("/api/resign", {}));
$("hint").addEventListener("click", () => send("/api/hint", {}));
$("numbers").checked = localStorage.getItem("velmaro.numbers") === "1";
$("numbers").addEventListener("change", () => {
  localStorage.setItem("velmaro.numbers", $("numbers").checked ? "1" : "0");
  draw();
});
setInterval(() => {
  if (!state || review) return;
  if (state.status === "thinking" || state.status === "hint") $("status").textContent = statusText(state);
  showClocks();
}, 100);

// A message from the stream: {state: "<the state as JSON>"} or {offline: true}.
function news(message) {
  if (message.offline) {
    state = null;  // whatever comes after the break is shown
    $("status").textContent = "The server does not answer; retrying...";
  } else {
    const s = JSON.parse(message.state);
    // Fresh news left the server a moment ago: the clocks' offset.
    clockSkew = Date.now() - s.changedAt;
    show(s);
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
