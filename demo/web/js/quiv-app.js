// Quiv demo web application: routing, the header, the player bar, notices and
// start-up.
(function (window, $) {
    'use strict';

    var Q = window.Q;
    var Views = Q.Views;
    var MAX_PATH_LENGTH = 2048;

    // Routes: a pattern over the path and the page it shows. Pages other than
    // the sign-in page need a signed-in user.
    var routes = [
        { pattern: /^\/$/, view: function (main) { Views.home(main); } },
        { pattern: /^\/accounts\/login\/$/, view: showLogin, open: true },
        { pattern: /^\/signout\/$/, view: signOut, open: true },
        { pattern: /^\/management\/$/, view: function (main) { Views.management(main); } },
        { pattern: /^\/management\/subscriptions\/$/, view: showSubscriptions },
        { pattern: /^\/album\/(a\d+)\/$/, view: function (main, key) { Views.album(main, key); } },
        { pattern: /^\/track\/(t\d+)\/$/, view: function (main, key) { Views.track(main, key); } },
        { pattern: /^\/artist\/(r\d+)\/$/, view: function (main, key) { Views.artist(main, key); } },
        { pattern: /^\/station\/(sr\d+)\/$/, view: function (main, key) { Views.station(main, key); } },
        { pattern: /^\/playlist\/(p\d+)\/$/, view: function (main, key) { Views.playlist(main, key); } },
        { pattern: /^\/people\/([^/]+)\/$/, view: function (main, v) { Views.people(main, v); } },
        { pattern: /^\/search\/([^/]*)\/?$/, view: function (main, query) { Views.search(main, query); } },
        { pattern: /^\/collection\/$/, view: function (main) { Views.collection(main); } },
        { pattern: /^\/notices\/$/, view: showNotices },
        { pattern: /^\/people\/([^/]+)\/people\/following\/$/, view: function (main, v) { Views.people(main, v); } }
    ];

    function decode(part) {
        try {
            return decodeURIComponent(part);
        } catch (error) {
            return '';
        }
    }

    // A same-origin path from untrusted text, or null.
    function sameOriginPath(path) {
        if (typeof path !== 'string' || path.length === 0 || path.length > MAX_PATH_LENGTH ||
            path.charAt(0) !== '/' || path.charAt(1) === '/' || path.charAt(1) === '\\') {
            return null;
        }
        var url;
        try {
            url = new URL(path, window.location.origin);
        } catch (error) {
            return null;
        }
        return url.origin === window.location.origin ? url.pathname + url.search + url.hash : null;
    }

    Q.router = {
        // navigate(path, true) shows the page at `path` and adds it to the history.
        navigate: function (path, trigger, replace) {
            var target = sameOriginPath(path);
            if (target === null) {
                return false;
            }
            var current = window.location.pathname + window.location.search + window.location.hash;
            if (target !== current) {
                window.history[replace ? 'replaceState' : 'pushState']({}, '', target);
            }
            if (trigger === undefined || trigger) {
                Q.router.render();
            }
            return true;
        },
        render: function () {
            var main = $('#main').empty();
            var path = window.location.pathname;
            $('body').removeClass('loading');
            for (var i = 0; i < routes.length; ++i) {
                var match = routes[i].pattern.exec(path);
                if (!match) {
                    continue;
                }
                if (!routes[i].open && !Q.currentUser) {
                    window.history.replaceState({}, '', '/accounts/login/');
                    showLogin(main);
                    return;
                }
                routes[i].view.apply(null, [main].concat(match.slice(1).map(decode)));
                return;
            }
            Views.notFound(main);
        }
    };

    function rerenderUnlessEditing() {
        // Re-rendering a form would throw away what the user is typing.
        if (!$('#main').find('form').length) {
            Q.router.render();
        }
    }

    function showLogin(main) {
        if (Q.currentUser) {
            Views.message(main, 'You are signed in', 'Signed in as ' + Q.currentUser.get('username') + '.');
            return;
        }
        Views.login(main, function (fields, showError) {
            $.ajax({ method: 'POST', url: '/api/demo/signin', data: fields, dataType: 'json' })
                .done(function (answer) {
                    Q.setCurrentUser(answer.user, true);
                    updateBadge(answer.user.unread_notices);
                    Q.router.navigate('/', true);
                })
                .fail(function (xhr) {
                    showError(xhr.status === 401 ? 'Wrong user name or password.' : 'Signing in failed; try again.');
                });
        });
    }

    function signOut(main) {
        Views.message(main, 'Signing out…');
        $.ajax({ method: 'POST', url: '/api/demo/signout', dataType: 'json' }).always(function () {
            Q.player.unload();
            if (Q.currentUser) {
                Q.setCurrentUser(null, true);
            }
            updateBadge(0);
            Q.router.navigate('/accounts/login/', true, true);
        });
    }

    function showSubscriptions(main) {
        Views.subscriptions(main, function (fields) {
            $.ajax({ method: 'POST', url: '/api/demo/subscription', data: fields, dataType: 'json' })
                .done(function (answer) {
                    Q.updateCurrentUser(answer.user);
                    Q.toast('Subscription saved.');
                    Q.router.render();
                })
                .fail(function () { Q.toast('The subscription could not be changed.'); });
        });
    }

    // Unread notices: the count in the header and on the desktop client's badge.
    function updateBadge(unread) {
        unread = Math.max(0, Math.floor(Number(unread) || 0));
        if (Q.currentUser) {
            Q.currentUser.set('unread_notices', unread);
        }
        $('.Notice_Count').text(unread ? String(unread) : '');
        $('#header_notices').toggleClass('unread', unread > 0);
        if (unread > 0) {
            Q.native.desktop('setDockBadgeLabel', String(unread));
        } else {
            Q.native.desktop('clearDockBadgeLabel');
        }
    }

    function showNotices(main) {
        $.ajax({ method: 'POST', url: '/api/demo/notices/read', dataType: 'json' })
            .done(function (answer) {
                updateBadge(answer.unread);
                main.empty();
                Views.notices(main, answer.notices || [], function () {
                    $.ajax({ method: 'POST', url: '/api/demo/notices/new', dataType: 'json' }).done(function (added) {
                        updateBadge(added.unread);
                        Q.showNotice(added.notice.title, added.notice.message);
                        Q.native.desktop('bounceDockIcon');
                        $('.Notice_List').prepend($(document.createElement('li')).addClass('Notice unread')
                            .append($(document.createElement('strong')).text(added.notice.title))
                            .append($(document.createElement('span')).text(added.notice.message)));
                    });
                });
            })
            .fail(function () { Views.message(main, 'Notices', 'Notices could not be loaded.'); });
        Views.message(main, 'Notices', 'Loading…');
    }

    function updateHeader() {
        var user = Q.currentUser;
        $('.Header_User').prop('hidden', !user);
        $('.Header_Sign_In').prop('hidden', !!user);
        $('#header_notices').prop('hidden', !user);
        $('.Header_User_Name').text(user ? user.get('first_name') + ' ' + user.get('last_name') : '');
        $('body').toggleClass('signed-in', !!user);
    }

    function updatePlayState() {
        var playing = Q.player.isPlaying();
        $('.play_pause').text(playing ? '❚❚' : '▶').attr('title', playing ? 'Pause' : 'Play');
        $('body').toggleClass('buffering', Q.player.playState() === Q.Player.PlayState.BUFFERING);
    }

    function updatePosition() {
        var seconds = Q.player.position();
        $('.time').text(Q.formatTime(seconds));
        var seek = $('.Player_Seek');
        if (!seek.is(':active')) {
            seek.val(seconds);
        }
    }

    function updatePlayerBar() {
        var track = Q.player.playingTrack();
        $('.Player_Track_Name').text(track ? track.get('name') : 'Nothing playing').attr('href', track ? track.get('url') : '/');
        $('.Player_Artist_Name').text(track ? track.get('artist') : '').attr('href', track ? track.get('artistUrl') : '/');
        var album = track ? Q.lookup(track.get('albumKey'), 'a') : null;
        $('.Player_Cover').replaceWith(Views.cover(album, 'Player_Cover'));
        $('.duration').text(Q.formatTime(track ? track.get('duration') : 0));
        $('.Player_Seek').attr('max', track ? track.get('duration') : 0);
        $('.shuffle').toggleClass('on', Q.player.shuffle());
        var repeatTitles = ['Repeat: off', 'Repeat: this song', 'Repeat: all'];
        $('.repeat').toggleClass('on', Q.player.repeat() !== 0).toggleClass('one', Q.player.repeat() === 1)
            .attr('title', repeatTitles[Q.player.repeat()]);
        $('.Track_Row').each(function () {
            $(this).toggleClass('playing', !!track && $(this).attr('data-key') === track.get('key'));
        });
        if (!$('.Queue_Flyout').prop('hidden')) {
            Views.queue($('.Queue_List'));
        }
        updatePlayState();
        updatePosition();
    }

    function updateVolume() {
        $('.Player_Volume').val(Math.round(Q.player.volume() * 100));
        $('.mute').text(Q.player.mute() ? 'Muted' : 'Vol').toggleClass('on', Q.player.mute());
    }

    function setQueueVisible(visible, byToggle) {
        var flyout = $('.Queue_Flyout');
        if (flyout.prop('hidden') === !visible) {
            return;
        }
        flyout.prop('hidden', !visible);
        if (visible) {
            Views.queue($('.Queue_List'));
        }
        Q.native.player(byToggle ? 'onPlayerFlyoutToggled' : 'onPlayerFlyoutHidden');
    }

    function wireHeader() {
        var input = $('.App_Header .Search_Box input');
        var searchTimer = null;
        input.on('focus', function () { Q.native.desktop('onSearchBoxFocus'); });
        input.on('blur', function () { Q.native.desktop('onSearchBoxBlur'); });
        input.on('input', function () {
            window.clearTimeout(searchTimer);
            searchTimer = window.setTimeout(function () {
                var query = String(input.val()).slice(0, 200);
                var onSearch = /^\/search\//.test(window.location.pathname);
                Q.router.navigate('/search/' + encodeURIComponent(query) + '/', true, onSearch);
            }, 150);
        });
        input.on('keydown', function (event) {
            if (event.key === 'Enter') {
                window.clearTimeout(searchTimer);
                Q.router.navigate('/search/' + encodeURIComponent(String(input.val()).slice(0, 200)) + '/', true);
            }
        });
        $('#header_notices').on('click', function () { Q.router.navigate('/notices/', true); });
    }

    function wirePlayerBar() {
        $('.play_pause').on('click', function () {
            if (!Q.player.playingTrack() && Q.catalogue.albums.length) {
                Q.player.play({ source: Q.catalogue.albums[0].key });
            } else {
                Q.player.togglePause();
            }
        });
        $('.next').on('click', function () { Q.player.next(); });
        $('.previous').on('click', function () { Q.player.previous(); });
        $('.shuffle').on('click', function () { Q.player.shuffle(!Q.player.shuffle()); });
        $('.repeat').on('click', function () { Q.player.cycleRepeat(); });
        $('.mute').on('click', function () { Q.player.mute(!Q.player.mute()); });
        $('.queue').on('click', function () { setQueueVisible($('.Queue_Flyout').prop('hidden'), true); });
        $('.Queue_Close').on('click', function () { setQueueVisible(false, false); });
        $(document).on('keydown', function (event) {
            if (event.key === 'Escape') {
                setQueueVisible(false, false);
            }
        });
        $('.Player_Seek').on('change', function () { Q.player.position(Number($(this).val())); });
        $('.Player_Volume').on('input', function () { Q.player.volume(Number($(this).val()) / 100); });
        $(window).on('quiv:player', updatePlayerBar);
        $(window).on('quiv:state', updatePlayState);
        $(window).on('quiv:position', updatePosition);
        $(window).on('quiv:volume', updateVolume);
    }

    function wireNavigation() {
        // Links inside the application are routed here instead of reloading;
        // those that name another window open there.
        $(document).on('click', 'a[href]', function (event) {
            var href = $(this).attr('href');
            var target = ($(this).attr('target') || '_self').toLowerCase();
            if (event.button !== 0 || event.metaKey || event.ctrlKey || event.shiftKey || !sameOriginPath(href) ||
                (target !== '_self' && target !== '_top' && target !== '_parent')) {
                return;
            }
            event.preventDefault();
            Q.router.navigate(href, true);
        });
        $(window).on('popstate', function () { Q.router.render(); });
        $(window).on('quiv:user', updateHeader);
        $(window).on('quiv:collection', rerenderUnlessEditing);
        $(window).on('quiv:player', function () {
            if (/^\/station\//.test(window.location.pathname)) {
                Q.router.render();
            }
        });
    }

    // Start-up: load the catalogue and the session, show the page, then tell the
    // desktop client the page is ready and who is signed in.
    function start() {
        wireHeader();
        wirePlayerBar();
        wireNavigation();
        updateVolume();
        updatePlayerBar();
        var catalogue = $.ajax({ url: '/api/demo/catalogue', dataType: 'json' });
        var session = $.ajax({ url: '/api/demo/session', dataType: 'json' });
        $.when(catalogue, session)
            .done(function (catalogueAnswer, sessionAnswer) {
                Q.setCatalogue(catalogueAnswer[0]);
                // A sign-in that finished meanwhile is newer than this answer.
                if (!Q.currentUser) {
                    Q.setCurrentUser(sessionAnswer[0].user, false);
                }
                Q.router.render();
            })
            .fail(function () {
                $('body').removeClass('loading');
                Views.message($('#main').empty(), 'Quiv is not reachable', 'Reload the page to try again.');
            })
            .always(function () {
                var user = Q.currentUser;
                Q.desktop.isInitialized = true;
                Q.native.desktop('onInitialize');
                Q.native.clientManager('onInitialize');
                Q.native.clientManager('onCurrentUserIdChanged', user ? user.get('id') : -1);
                updateBadge(user ? user.get('unread_notices') : 0);
                $(window).trigger('quiv:ready');
            });
    }

    $(start);
})(window, jQuery);
