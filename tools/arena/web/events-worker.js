// The board page's shared worker: one event stream from the server for all
// the tabs of the page in this browser, whatever their number. Each tab
// connects a port; every state from the stream goes to every port, and a
// tab that connects later gets the newest state at once. The stream opens
// with the first tab and ends with the worker, when the last tab closes.
"use strict";
const ports = new Set();
let newest = null;  // the newest state, as the server's JSON text
let source = null;

function post(message) {
  for (const port of ports) port.postMessage(message);
}

function open() {
  source = new EventSource("/api/events");
  source.onmessage = (event) => {
    newest = event.data;
    post({ state: newest });
  };
  // The browser reconnects by itself; the tabs say the server is away meanwhile.
  source.onerror = () => post({ offline: true });
}

onconnect = (event) => {
  const port = event.ports[0];
  ports.add(port);
  // A tab says "bye" when it is hidden away or closed, and "hello" when it
  // comes back from the browser's back-forward cache.
  port.onmessage = (message) => {
    if (message.data === "bye") ports.delete(port);
    if (message.data === "hello") {
      ports.add(port);
      if (newest !== null) port.postMessage({ state: newest });
    }
  };
  port.start();
  if (newest !== null) port.postMessage({ state: newest });
  if (source === null) open();
};
