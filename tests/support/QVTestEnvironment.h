#pragma once

// The headless environment every test program runs in: the web engine's
// sandbox off as root, offscreen, quiet engine logs, the demo service's paths,
// and scratch XDG folders so no test touches the user's own files.
void QVPrepareTestEnvironment();
