// Quiv demo web application: the Q namespace, models, the catalogue, the
// signed-in user and the calls into the desktop client's script objects.
(function (window, $) {
    'use strict';

    var Q = (window.Q = window.Q || {});

    // The desktop client installs its script objects on window after each load,
    // possibly a few milliseconds after our scripts start, and a plain browser
    // has none: look them up at every call, never keep a reference.
    function callNative(objectName, method, args) {
        var target = window[objectName];
        if (!target || typeof target[method] !== 'function') {
            return undefined;
        }
        try {
            return target[method].apply(target, args || []);
        } catch (error) {
            if (window.console) {
                window.console.warn('Quiv: ' + objectName + '.' + method + ' failed', error);
            }
            return undefined;
        }
    }
    Q.native = {
        desktop: function (method) { return callNative('DesktopScriptObject', method, [].slice.call(arguments, 1)); },
        player: function (method) { return callNative('PlayerScriptObject', method, [].slice.call(arguments, 1)); },
        clientManager: function (method) {
            return callNative('ClientManagerScriptObject', method, [].slice.call(arguments, 1));
        },
        notice: function (method) { return callNative('NoticeScriptObject', method, [].slice.call(arguments, 1)); }
    };

    // A record whose fields are read with get(name), as the desktop client does.
    function Model(attributes) {
        this.attributes = $.extend({}, attributes);
    }
    Model.prototype.get = function (name) {
        return Object.prototype.hasOwnProperty.call(this.attributes, name) ? this.attributes[name] : undefined;
    };
    Model.prototype.set = function (name, value) {
        this.attributes[name] = value;
    };
    Model.prototype.toJSON = function () {
        return $.extend({}, this.attributes);
    };
    Q.Model = Model;

    Q.desktop = { isInitialized: false };

    // Presentation settings the desktop client reads for its title bar. The
    // ignored classes and ids name header elements that must stay clickable.
    Q.Models = {
        Model: Model,
        Desktop: {
            IS_USING_WHITE_QUIV: false,
            HEADER_BACKGROUND_COLOR: '#1d2633',
            IGNORED_DOM_CLASSES: ['Search_Box', 'App_Nav', 'Header_Account'],
            IGNORED_DOM_IDS: ['header_logo', 'header_notices']
        }
    };

    // base_url is the service's host name: the client compares it with the host
    // of quiv:// links.
    window.server_info = { base_url: window.location.hostname };
    Q.serverInfo = new Model({
        base_url: window.location.hostname,
        is_address: window.location.origin + '/images/art'
    });

    // The catalogue, filled once at start from /api/demo/catalogue.
    Q.catalogue = { artists: [], albums: [], tracks: [], stations: [], playlists: [], people: [], byKey: {},
        loaded: false };
    Q.stationList = [];
    Q.setCatalogue = function (data) {
        var catalogue = Q.catalogue;
        ['artists', 'albums', 'tracks', 'stations', 'playlists', 'people'].forEach(function (kind) {
            catalogue[kind] = $.isArray(data && data[kind]) ? data[kind] : [];
            catalogue[kind].forEach(function (item) {
                catalogue.byKey[item.key] = item;
            });
        });
        catalogue.loaded = true;
        // Keep the same array so a reference taken earlier stays current.
        Q.stationList.length = 0;
        catalogue.stations.forEach(function (station) {
            Q.stationList.push($.extend(true, {}, station));
        });
    };
    Q.lookup = function (key, prefix) {
        if (typeof key !== 'string' || !Object.prototype.hasOwnProperty.call(Q.catalogue.byKey, key)) {
            return null;
        }
        return !prefix || key.indexOf(prefix) === 0 ? Q.catalogue.byKey[key] : null;
    };
    Q.kindOfKey = function (key) {
        if (typeof key !== 'string') {
            return null;
        }
        var match = /^(sr|r|a|t)\d+$/.exec(key);
        return match && Q.lookup(key) ? { sr: 'station', r: 'artist', a: 'album', t: 'track' }[match[1]] : null;
    };
    Q.albumTracks = function (album) {
        return (album && album.tracks ? album.tracks : []).map(function (key) { return Q.lookup(key, 't'); })
            .filter(Boolean);
    };
    Q.artistTracks = function (artistKey) {
        return Q.catalogue.tracks.filter(function (track) { return track.artistKey === artistKey; });
    };

    // A source is a station when its key (or the key of a source object) names one.
    Q.isStation = function (source) {
        var key = source;
        if (source && typeof source === 'object') {
            key = typeof source.get === 'function' ? source.get('key') : source.key;
        }
        return Q.kindOfKey(key) === 'station';
    };

    // The signed-in user, mirrored in the two shapes the desktop client reads.
    Q.currentUser = null;
    window.clientManager = { current_user: null };

    function postCollection(action, keys) {
        if (!Q.currentUser || !$.isArray(keys) || keys.length === 0 || keys.length > 100) {
            return false;
        }
        var valid = keys.filter(function (key) { return Q.kindOfKey(key) === 'track'; });
        if (valid.length !== keys.length) {
            return false;
        }
        $.ajax({ method: 'POST', url: '/api/demo/collection', data: { action: action, keys: valid.join(',') },
            dataType: 'json' })
            .done(function (answer) {
                if (!Q.currentUser) {
                    return;
                }
                Q.currentUser.set('collection', answer.collection || []);
                Q.currentUser.set('offline', answer.offline || []);
                $(window).trigger('quiv:collection');
                var messages = { add: 'Added to your collection', remove: 'Removed from your collection',
                    offlineAdd: 'Synced to your phone', offlineRemove: 'No longer synced to your phone' };
                var names = valid.map(function (key) { return Q.lookup(key).name; }).join(', ');
                Q.showNotice(messages[action], names, { toastOnly: true });
            })
            .fail(function () { Q.toast('Your collection could not be changed.'); });
        return true;
    }

    function User(attributes) {
        Model.call(this, attributes);
        this.collection = {
            add: function (keys) { return postCollection('add', keys); },
            remove: function (keys) { return postCollection('remove', keys); },
            offlineAdd: function (keys) { return postCollection('offlineAdd', keys); },
            offlineRemove: function (keys) { return postCollection('offlineRemove', keys); }
        };
    }
    User.prototype = Object.create(Model.prototype);
    User.prototype.constructor = User;
    Q.Models.User = User;

    function clientManagerUser(user) {
        return {
            id: user.id,
            subscription_type: user.subscription_type,
            subscription: user.subscription,
            freeLimited: user.freeLimited,
            has_subscription_failure: user.has_subscription_failure,
            features: $.extend({}, user.features),
            firstName: user.first_name,
            lastName: user.last_name,
            vanity_name: user.vanity_name,
            free_trial: $.extend({}, user.free_trial)
        };
    }

    // Replaces the signed-in user; tells the desktop client when `announce`.
    Q.setCurrentUser = function (user, announce) {
        var previousId = Q.currentUser ? Q.currentUser.get('id') : -1;
        Q.currentUser = user ? new User(user) : null;
        window.clientManager.current_user = user ? clientManagerUser(user) : null;
        $(window).trigger('quiv:user');
        if (announce) {
            Q.native.clientManager('onCurrentUserIdChanged', user ? user.id : -1);
        }
        return previousId;
    };
    // After a plan change: refresh the user and tell the client what changed.
    Q.updateCurrentUser = function (user) {
        var before = window.clientManager.current_user;
        Q.setCurrentUser(user, false);
        if (!before || !user) {
            return;
        }
        if (before.subscription_type !== user.subscription_type) {
            Q.native.clientManager('onSubscriptionChanged');
        }
        if (user.has_subscription_failure && !before.has_subscription_failure) {
            Q.native.clientManager('onBillingFailure');
        }
        if (JSON.stringify(before.freeLimited) !== JSON.stringify(user.freeLimited)) {
            Q.native.clientManager('onFreeLimitedNotification', user.freeLimited);
        }
    };

    Q.Library = {
        // kind 't' (tracks) or 'a' (albums) and an array of numeric ids: true
        // when every one is in the signed-in user's collection (an album when
        // all its tracks are).
        contains: function (kind, ids) {
            if (!Q.currentUser || !$.isArray(ids) || ids.length === 0) {
                return false;
            }
            var collection = Q.currentUser.get('collection') || [];
            var has = function (id) { return collection.indexOf(Number(id)) !== -1; };
            return ids.every(function (id) {
                if (kind === 't') {
                    return has(id);
                }
                if (kind === 'a') {
                    var album = Q.lookup('a' + Number(id), 'a');
                    return !!album && Q.albumTracks(album).every(function (track) { return has(track.id); });
                }
                return false;
            });
        }
    };

    Q.offlineMonitor = {
        isOnline: true,
        setIsOnline: function (online) {
            if (typeof online !== 'boolean') {
                return;
            }
            this.isOnline = online;
            $('.Offline_Banner').prop('hidden', online);
            $('body').toggleClass('offline', !online);
        }
    };

    var toastTimer = null;
    Q.toast = function (text) {
        var toast = $('.Toast');
        toast.text(text).prop('hidden', false);
        window.clearTimeout(toastTimer);
        toastTimer = window.setTimeout(function () { toast.prop('hidden', true); }, 3000);
    };
    // A notice in the page and, in the desktop client, on the desktop. The
    // client expects both texts percent-escaped.
    Q.showNotice = function (title, message, options) {
        Q.toast(message ? title + ': ' + message : title);
        if (!(options && options.toastOnly)) {
            Q.native.notice('showNotice', encodeURIComponent(title), encodeURIComponent(message || ''));
        }
    };

    Q.formatTime = function (seconds) {
        seconds = Math.max(0, Math.floor(Number(seconds) || 0));
        var minutes = Math.floor(seconds / 60);
        var rest = seconds % 60;
        return minutes + ':' + (rest < 10 ? '0' : '') + rest;
    };
})(window, jQuery);
