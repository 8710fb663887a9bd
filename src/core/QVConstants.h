#pragma once

// Every in-process event name and stored setting key of the program, in one place.

// Notifications (object as noted; none carries a payload).
inline constexpr char QVPlayButtonPressedNotification[] = "Quiv_PlayButtonPressed";
inline constexpr char QVForwardButtonPressedNotification[] = "Quiv_ForwardButtonPressed";
inline constexpr char QVRewindButtonPressedNotification[] = "Quiv_RewindButtonPressed";
inline constexpr char QVUserDidSignInNotification[] = "Quiv_UserDidSignIn";
inline constexpr char QVUserDidSignOutNotification[] = "Quiv_UserDidSignOut";
inline constexpr char QVJavascriptContentInitializedNotification[] = "Quiv_JavascriptContentInitialized";
inline constexpr char QVWindowServiceWindowChangedNotification[] = "Quiv_WindowServiceWindowChanged";
inline constexpr char QVGlobalWebViewWillUpdateNotification[] = "Quiv_GlobalWebViewWillUpdate";
inline constexpr char QVQuivUrlChangedNotification[] = "Quiv_QuivUrlChanged";
inline constexpr char QVTextFieldDidBecomeFirstResponderNotification[] = "Quiv_TextFieldDidBecomeFirstResponder";
inline constexpr char QVTextFieldDidResignFirstResponderNotification[] = "Quiv_TextFieldDidResignFirstResponder";
inline constexpr char QVSuggestionAlbumArtReadyNotification[] = "Quiv_SuggestionAlbumArtReady";
inline constexpr char QVCheckForDownloadsNotification[] = "Quiv_CheckForDownloads";
inline constexpr char QVUserDefaultsDidChangeNotification[] = "QVUserDefaultsDidChangeNotification";

// The system-wide play-state signal, sent on the session bus.
inline constexpr char QVPlayStateChangedDistributedNotification[] = "com.quiv.desktop.playStateChanged";
inline constexpr char QVDBusServiceName[] = "com.quiv.desktop";
inline constexpr char QVDBusObjectPath[] = "/com/quiv/desktop";
inline constexpr char QVDBusInterface[] = "com.quiv.desktop";

// Stored settings.
inline constexpr char QVShouldShowWelcomeWindowKey[] = "ShouldShowWelcomeWindow";
inline constexpr char QVPauseOnDeviceUnplugKey[] = "PauseOnDeviceUnplug";
inline constexpr char QVApplicationsNeedingMediaKeysKey[] = "SPApplicationsNeedingMediaKeys";
inline constexpr char QVIgnoreMediaKeysKey[] = "SPIgnoreMediaKeys";
inline constexpr char QVMiniPlayerFrameKey[] = "MiniPlayerFrame";
inline constexpr char QVCurrentWindowTypeKey[] = "CurrentWindowType";
inline constexpr char QVWindowWasPreviouslyFullScreenKey[] = "WindowWasPreviouslyFullScreen";
inline constexpr char QVWindowFrameKeyFormat[] = "NSWindow Frame %1"; // %1: the frame autosave name
inline constexpr char QVIsMiniPlayerAlwaysOnTopKey[] = "IsMiniPlayerAlwaysOnTop";
inline constexpr char QVIsMiniPlayerOnAllSpacesKey[] = "IsMiniPlayerOnAllSpaces";
inline constexpr char QVITunesLibraryPathKey[] = "iTunesLibraryPath";
inline constexpr char QVLastCollectionMatchedDictionaryKey[] = "LastCollectionMatchedDictionary";
inline constexpr char QVLastMatchedDateKey[] = "LastMatchedDate";
inline constexpr char QVMatchedTrackCountKey[] = "MatchedTrackCount";
inline constexpr char QVAddedTrackCountKey[] = "AddedTrackCount";
inline constexpr char QVLastCrashSubmissionDateKey[] = "QVCrashReporter.lastCrashSubmissionDate";
inline constexpr char QVAppleAquaColorVariantKey[] = "AppleAquaColorVariant";

// Window types.
inline constexpr int QVMainPlayerWindowType = 1;
inline constexpr int QVMiniPlayerWindowType = 2;

// The bundle-name placeholder in menu titles and texts, and the name it becomes.
inline constexpr char QVProductNamePlaceholder[] = "[product_name]";
inline constexpr char QVProductName[] = "Quiv";

// Client errors.
inline constexpr char QVErrorDomain[] = "com.quiv.desktop";
