// Whether standard input is an interactive console (a person started the
// brain by hand) rather than a manager's pipe.
#pragma once

namespace platform {

bool stdinIsInteractive();

}  // namespace platform
