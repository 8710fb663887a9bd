// Quiv demo web application: the pages. Every text from data goes in through
// jQuery's text(), never as markup.
(function (window, $) {
    'use strict';

    var Q = window.Q;
    var Views = (Q.Views = {});

    function el(tag, className, text) {
        var node = $(document.createElement(tag));
        if (className) {
            node.addClass(className);
        }
        if (text !== undefined && text !== null) {
            node.text(String(text));
        }
        return node;
    }
    function link(href, text, className) {
        return el('a', className, text).attr('href', href);
    }
    function button(text, className, handler) {
        return el('button', className, text).attr('type', 'button').on('click', handler);
    }
    function cover(album, className) {
        // Colours go through the CSS object model: the policy forbids style attributes.
        return el('span', className || 'Cover').css('background-color', album ? album.color : '#555')
            .text(album ? album.name.charAt(0) : '');
    }
    Views.cover = cover;

    function inCollection(track) {
        return !!Q.currentUser && (Q.currentUser.get('collection') || []).indexOf(track.id) !== -1;
    }
    function isOffline(track) {
        return !!Q.currentUser && (Q.currentUser.get('offline') || []).indexOf(track.id) !== -1;
    }

    function trackRow(track, onPlay, highlighted) {
        var row = el('li', 'Track_Row').attr('data-key', track.key);
        if (highlighted) {
            row.addClass('highlighted');
        }
        if (Q.player.track && Q.player.track.get('key') === track.key) {
            row.addClass('playing');
        }
        row.append(button('▶', 'Track_Play', onPlay).attr('title', 'Play ' + track.name));
        row.append(el('span', 'Track_Num', track.trackNum));
        row.append(el('span', 'Track_Name', track.name));
        row.append(link(track.artistUrl, track.artist, 'Track_Artist'));
        row.append(el('span', 'Track_Duration', Q.formatTime(track.duration)));
        var owned = inCollection(track);
        row.append(button(owned ? '✓ In collection' : '+ Collection', 'Track_Collect', function () {
            Q.currentUser.collection[owned ? 'remove' : 'add']([track.key]);
        }).toggleClass('on', owned));
        var synced = isOffline(track);
        row.append(button(synced ? 'Synced to phone' : 'Sync to phone', 'Track_Sync', function () {
            Q.currentUser.collection[synced ? 'offlineRemove' : 'offlineAdd']([track.key]);
        }).toggleClass('on', synced));
        return row;
    }

    function section(title) {
        return el('section', 'Section').append(el('h2', null, title));
    }

    function albumGrid(albums) {
        var grid = el('ul', 'Album_Grid');
        albums.forEach(function (album) {
            var item = el('li', 'Album_Tile');
            item.append(link(album.url, null, 'Album_Link').append(cover(album)).append(el('span', 'Album_Name', album.name)));
            item.append(link(album.artistUrl, album.artist, 'Album_Artist'));
            grid.append(item);
        });
        return grid;
    }

    function stationList(stations) {
        var list = el('ul', 'Station_List');
        stations.forEach(function (station) {
            var item = el('li', 'Station_Item');
            item.append(button('▶', 'Station_Play', function () { window.setStation(station); })
                .attr('title', 'Play ' + station.name));
            item.append(link(station.url, station.name, 'Station_Name'));
            item.append(el('span', 'Station_Description', station.description));
            if (Q.player.stationKey() === station.key) {
                item.addClass('playing');
            }
            list.append(item);
        });
        return list;
    }

    Views.home = function (main) {
        main.append(el('h1', null, 'Browse'));
        main.append(section('Albums').append(albumGrid(Q.catalogue.albums)));
        main.append(section('Stations').append(stationList(Q.stationList)));
        var artists = el('ul', 'Artist_List');
        Q.catalogue.artists.forEach(function (artist) {
            artists.append(el('li').append(link(artist.url, artist.name)));
        });
        main.append(section('Artists').append(artists));
    };

    Views.album = function (main, key, highlightKey) {
        var album = Q.lookup(key, 'a');
        if (!album) {
            return Views.notFound(main);
        }
        var head = el('div', 'Album_Head').append(cover(album, 'Cover large'));
        var text = el('div', 'Album_Text');
        text.append(el('h1', null, album.name));
        text.append(link(album.artistUrl, album.artist, 'Album_Artist'));
        text.append(el('span', 'Album_Year', album.year));
        text.append(button('Play album', 'Primary_Button', function () { Q.player.play({ source: album.key }); }));
        main.append(head.append(text));
        var list = el('ol', 'Track_List');
        Q.albumTracks(album).forEach(function (track, index) {
            list.append(trackRow(track, function () { Q.player.play({ source: album.key, index: index }); },
                track.key === highlightKey));
        });
        main.append(list);
    };

    Views.track = function (main, key) {
        var track = Q.lookup(key, 't');
        return track ? Views.album(main, track.albumKey, key) : Views.notFound(main);
    };

    Views.artist = function (main, key) {
        var artist = Q.lookup(key, 'r');
        if (!artist) {
            return Views.notFound(main);
        }
        main.append(el('h1', null, artist.name));
        main.append(button('Play all', 'Primary_Button', function () { Q.player.play({ source: artist.key }); }));
        main.append(section('Albums').append(albumGrid(Q.catalogue.albums.filter(function (album) {
            return album.artistKey === key;
        }))));
        var list = el('ol', 'Track_List');
        Q.artistTracks(key).forEach(function (track) {
            list.append(trackRow(track, function () { Q.player.play({ source: track.key }); }));
        });
        main.append(section('Songs').append(list));
    };

    Views.station = function (main, key) {
        var station = null;
        Q.stationList.forEach(function (item) {
            if (item.key === key) {
                station = item;
            }
        });
        if (!station) {
            return Views.notFound(main);
        }
        main.append(el('h1', null, station.name));
        main.append(el('p', 'Station_Description', station.description));
        var playing = Q.player.stationKey() === key;
        main.append(button(playing ? 'Stop station' : 'Play station', 'Primary_Button', function () {
            window.setStation(playing ? null : station);
        }));
        var list = el('ol', 'Track_List');
        Q.albumTracks(station).forEach(function (track) {
            list.append(trackRow(track, function () { Q.player.play({ source: track.key }); }));
        });
        main.append(section('On this station').append(list));
    };

    Views.playlist = function (main, key) {
        var playlist = Q.lookup(key, 'p');
        if (!playlist) {
            return Views.notFound(main);
        }
        main.append(el('h1', null, playlist.name));
        main.append(el('p', 'Station_Description', 'A playlist by ' + playlist.owner));
        var list = el('ol', 'Track_List');
        Q.albumTracks(playlist).forEach(function (track) {
            list.append(trackRow(track, function () { Q.player.play({ source: track.key }); }));
        });
        main.append(section('Songs').append(list));
    };

    function matches(text, query) {
        return String(text).toLowerCase().indexOf(query) !== -1;
    }

    Views.search = function (main, query) {
        query = String(query || '').trim().slice(0, 200);
        var needle = query.toLowerCase();
        main.append(el('h1', null, query ? 'Results for “' + query + '”' : 'Search'));
        if (!needle) {
            main.append(el('p', 'Empty_Text', 'Type in the search box to find artists, albums, songs and stations.'));
            return;
        }
        var artists = Q.catalogue.artists.filter(function (a) { return matches(a.name, needle); });
        var albums = Q.catalogue.albums.filter(function (a) {
            return matches(a.name, needle) || matches(a.artist, needle);
        });
        var tracks = Q.catalogue.tracks.filter(function (t) {
            return matches(t.name, needle) || matches(t.artist, needle) || matches(t.album, needle);
        });
        var stations = Q.stationList.filter(function (s) {
            return matches(s.name, needle) || matches(s.description, needle);
        });
        if (!artists.length && !albums.length && !tracks.length && !stations.length) {
            main.append(el('p', 'Empty_Text', 'Nothing matches.'));
            return;
        }
        if (artists.length) {
            var list = el('ul', 'Artist_List');
            artists.forEach(function (artist) { list.append(el('li').append(link(artist.url, artist.name))); });
            main.append(section('Artists').append(list));
        }
        if (albums.length) {
            main.append(section('Albums').append(albumGrid(albums)));
        }
        if (tracks.length) {
            var rows = el('ol', 'Track_List');
            tracks.forEach(function (track) {
                rows.append(trackRow(track, function () { Q.player.play({ source: track.key }); }));
            });
            main.append(section('Songs').append(rows));
        }
        if (stations.length) {
            main.append(section('Stations').append(stationList(stations)));
        }
    };

    Views.collection = function (main) {
        main.append(el('h1', null, 'Your collection'));
        var tracks = Q.catalogue.tracks.filter(inCollection);
        if (!tracks.length) {
            main.append(el('p', 'Empty_Text', 'Nothing here yet: add songs with “+ Collection”.'));
            return;
        }
        var list = el('ol', 'Track_List');
        tracks.forEach(function (track) {
            list.append(trackRow(track, function () { Q.player.play({ source: track.key }); }));
        });
        main.append(list);
    };

    Views.login = function (main, onSignIn) {
        var form = el('form', 'Login_Form').attr('method', 'post').attr('action', '/api/demo/signin');
        form.append(el('h1', null, 'Sign in to Quiv'));
        form.append(el('p', 'Demo_Credentials', 'Demo account: user name “demo”, password “demo”.'));
        form.append(el('label', null, 'User name').append(
            el('input').attr({ name: 'username', type: 'text', autocomplete: 'username', maxlength: 128, required: true })));
        form.append(el('label', null, 'Password').append(
            el('input').attr({ name: 'password', type: 'password', autocomplete: 'current-password', maxlength: 128,
                required: true })));
        form.append(el('p', 'Form_Error').prop('hidden', true));
        form.append(el('button', 'Primary_Button', 'Sign in').attr('type', 'submit'));
        form.on('submit', function (event) {
            event.preventDefault();
            var fields = { username: form.find('[name=username]').val(), password: form.find('[name=password]').val() };
            onSignIn(fields, function (message) { form.find('.Form_Error').text(message).prop('hidden', false); });
        });
        main.append(form);
    };

    Views.subscriptions = function (main, onSave) {
        var user = Q.currentUser;
        main.append(el('h1', null, 'Your subscription'));
        main.append(el('p', null, 'Current plan: ' + user.get('plan_name')));
        var form = el('form', 'Plan_Form');
        [['0', 'Free (limited listening)'], ['1', 'Web'], ['2', 'Unlimited']].forEach(function (plan) {
            var input = el('input').attr({ type: 'radio', name: 'type', value: plan[0] })
                .prop('checked', String(user.get('subscription_type')) === plan[0]);
            form.append(el('label', 'Plan_Choice').append(input).append(el('span', null, plan[1])));
        });
        var limited = user.get('freeLimited');
        form.append(el('label', null, 'Free listening left (per cent)').append(
            el('input').attr({ type: 'number', name: 'remaining', min: 0, max: 100, step: 1 })
                .val(limited ? limited.remaining : 60)));
        form.append(el('label', 'Plan_Choice').append(
            el('input').attr({ type: 'checkbox', name: 'billing_failure' }).prop('checked',
                !!user.get('has_subscription_failure'))).append(el('span', null, 'Simulate a failed payment')));
        form.append(el('p', 'Trial_Text', 'Free trial ends ' + (user.get('free_trial') || {}).trial_end_date));
        form.append(el('button', 'Primary_Button', 'Save').attr('type', 'submit'));
        form.on('submit', function (event) {
            event.preventDefault();
            onSave({
                type: form.find('[name=type]:checked').val() || '2',
                remaining: form.find('[name=remaining]').val(),
                billing_failure: form.find('[name=billing_failure]').prop('checked') ? '1' : '0'
            });
        });
        main.append(form);
    };

    Views.management = function (main) {
        var user = Q.currentUser;
        main.append(el('h1', null, 'Settings'));
        main.append(el('p', null, 'Signed in as ' + user.get('first_name') + ' ' + user.get('last_name') +
            ' (' + user.get('username') + ').'));
        main.append(el('ul').append(el('li').append(link('/management/subscriptions/', 'Subscription'))).append(
            el('li').append(link('/notices/', 'Notices'))).append(el('li').append(link('/signout/', 'Sign out'))));
    };

    Views.people = function (main, vanity) {
        var user = Q.currentUser;
        var own = user && user.get('vanity_name') === vanity;
        var person = null;
        Q.catalogue.people.forEach(function (item) {
            if (item.vanity === vanity) {
                person = item;
            }
        });
        if (person && !own) {
            main.append(el('h1', null, person.name));
            return;
        }
        main.append(el('h1', null, own ? user.get('first_name') + ' ' + user.get('last_name') : vanity));
        main.append(el('p', 'Empty_Text', own ? 'You are not following anyone yet.' : 'No such person.'));
    };

    Views.notices = function (main, notices, onNew) {
        main.append(el('h1', null, 'Notices'));
        main.append(button('Simulate a new notice', 'Primary_Button', onNew));
        var list = el('ul', 'Notice_List');
        notices.forEach(function (notice) {
            list.append(el('li', notice.read ? 'Notice read' : 'Notice unread').append(el('strong', null, notice.title))
                .append(el('span', null, notice.message)));
        });
        main.append(list);
    };

    Views.message = function (main, title, text) {
        main.append(el('h1', null, title));
        if (text) {
            main.append(el('p', 'Empty_Text', text));
        }
    };

    Views.notFound = function (main) {
        Views.message(main, 'Page not found', 'There is nothing at this address.');
    };

    Views.queue = function (list) {
        list.empty();
        Q.player.queue.forEach(function (track, index) {
            var item = el('li', 'Queue_Item').toggleClass('playing', index === Q.player.index);
            item.append(button(track.name, 'Queue_Track', function () {
                var source = Q.player.source;
                var key = source ? source.get('key') : track.key;
                if (Q.kindOfKey(key) && Q.kindOfKey(key) !== 'track') {
                    Q.player.play({ source: key, index: index });
                } else {
                    Q.player.play({ source: track.key });
                }
            }));
            item.append(el('span', 'Queue_Artist', track.artist));
            list.append(item);
        });
        if (!Q.player.queue.length) {
            list.append(el('li', 'Empty_Text', 'Nothing queued.'));
        }
    };
})(window, jQuery);
