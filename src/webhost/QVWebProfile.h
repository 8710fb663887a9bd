#pragma once

class QWebEngineProfile;

// The program's persistent web profile: cookies, local storage and the cache
// live in the support and cache folders, so a sign-in survives a restart.
namespace QVWebProfile {
QWebEngineProfile* sharedProfile();
} // namespace QVWebProfile
