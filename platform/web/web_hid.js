// The page's side of the HID bus (linked before the module's code): the HIDDevice objects the
// page may use, each by a number that stays its own until it goes, their transfers with the 5 s
// limit, and the arrivals and removals waiting for the C++ side to take them. WebHID calls
// back on JavaScript's event loop; C++ sees what happened only when it awaits (TolvaneWebHid.idle)
// or takes the queued changes.
var TolvaneWebHid = {
  hid: null,
  entries: new Map(), // number -> {device, gone, pending: Set, opens, closing}
  numbers: new Map(), // HIDDevice -> number
  nextNumber: 1,
  changes: [], // [eventType, number]
  wakeUp: null,
  lastError: '',
  transferLimitMs: 5000,

  // Binds to navigator.hid (or a stand-in with the same behaviour); false where there is none.
  attach: function(hid) {
    if (TolvaneWebHid.hid) return true;
    hid = hid || (typeof navigator !== 'undefined' && navigator.hid) || null;
    if (!hid) return false;
    TolvaneWebHid.hid = hid;
    hid.addEventListener('connect', function(event) { TolvaneWebHid.arrived(event.device); });
    hid.addEventListener('disconnect', function(event) {
      var number = TolvaneWebHid.numbers.get(event.device);
      var entry = number && TolvaneWebHid.entries.get(number);
      if (!entry || entry.gone) return;
      entry.gone = true;
      TolvaneWebHid.numbers.delete(event.device);
      // Chromium may never settle what was pending on a device that went.
      entry.pending.forEach(function(cancel) { cancel(); });
      TolvaneWebHid.changes.push([0x8004, number]);
      TolvaneWebHid.wake();
    });
    return true;
  },

  // Each HIDDevice object is one arrival: a device that comes back is a new object, a new number.
  numberOf: function(device) {
    var number = TolvaneWebHid.numbers.get(device);
    if (number) return number;
    number = TolvaneWebHid.nextNumber++;
    TolvaneWebHid.numbers.set(device, number);
    TolvaneWebHid.entries.set(number,
                              {device: device, gone: false, pending: new Set(), opens: 0, closing: null});
    return number;
  },

  // A device the page was just given (a chooser's answer) or that connected: an arrival.
  arrived: function(device) {
    var known = TolvaneWebHid.numbers.has(device);
    var number = TolvaneWebHid.numberOf(device);
    if (!known) {
      TolvaneWebHid.changes.push([0x8000, number]);
      TolvaneWebHid.wake();
    }
    return number;
  },

  wake: function() {
    var wakeUp = TolvaneWebHid.wakeUp;
    TolvaneWebHid.wakeUp = null;
    if (wakeUp) wakeUp();
  },

  // Resolves after ms (never for a negative value) or at the next change, whichever comes first.
  idle: function(ms) {
    if (TolvaneWebHid.changes.length) return Promise.resolve();
    return new Promise(function(resolve) {
      var timer = ms >= 0 ? setTimeout(function() { TolvaneWebHid.wake(); }, ms) : null;
      TolvaneWebHid.wakeUp = function() {
        if (timer !== null) clearTimeout(timer);
        resolve();
      };
    });
  },

  // The numbers of the devices the page may use now.
  list: async function() {
    if (!TolvaneWebHid.hid) return [];
    var devices = await TolvaneWebHid.hid.getDevices();
    return devices.map(function(device) { return TolvaneWebHid.numberOf(device); });
  },

  // Report layout of one top-level collection: [vid, pid, collections, then for feature, output
  // and input reports: count, then (id, bytes without the id) for each].
  describe: function(number, collection) {
    var entry = TolvaneWebHid.entries.get(number);
    if (!entry) return null;
    var device = entry.device;
    var collections = device.collections || [];
    var words = [device.vendorId, device.productId, collections.length];
    var top = collections[collection] || {};
    [top.featureReports, top.outputReports, top.inputReports].forEach(function(reports) {
      reports = reports || [];
      words.push(reports.length);
      reports.forEach(function(report) {
        var bits = 0;
        (report.items || []).forEach(function(item) {
          bits += (item.reportSize || 0) * (item.reportCount || 0);
        });
        words.push(report.reportId || 0, Math.ceil(bits / 8));
      });
    });
    return words;
  },

  failed: function(error) {
    TolvaneWebHid.lastError = error && error.name ? error.name + ': ' + error.message : String(error);
    return 31;
  },

  // Settles with the operation, or as gone (disconnect) or timed out, whichever comes first.
  settle: function(entry, operation, limitMs) {
    return new Promise(function(resolve) {
      var done = false;
      var finish = function(outcome) {
        if (done) return;
        done = true;
        clearTimeout(timer);
        entry.pending.delete(gone);
        resolve(outcome);
      };
      var gone = function() { finish({gone: true}); };
      var timer = setTimeout(function() { finish({timedOut: true}); }, limitMs);
      entry.pending.add(gone);
      operation.then(function(value) { finish({value: value}); },
                     function(error) { finish({error: error}); });
    });
  },

  open: async function(number) {
    var entry = TolvaneWebHid.entries.get(number);
    if (!entry || entry.gone) return 2;
    if (entry.closing) await entry.closing;
    if (!entry.device.opened) {
      var outcome;
      try {
        outcome = await TolvaneWebHid.settle(entry, entry.device.open(), TolvaneWebHid.transferLimitMs);
      } catch (error) {
        outcome = {error: error};
      }
      if (outcome.gone) return 2;
      if (outcome.timedOut) return 995;
      if (outcome.error) {
        TolvaneWebHid.failed(outcome.error);
        return 5;  // opened elsewhere exclusively, or the user may not open the node
      }
    }
    entry.opens++;
    return 0;
  },

  close: function(number) {
    var entry = TolvaneWebHid.entries.get(number);
    if (!entry || entry.opens === 0) return;
    entry.opens--;
    if (entry.opens === 0 && !entry.gone && entry.device.opened) {
      entry.closing = entry.device.close().catch(function() {}).then(function() {
        entry.closing = null;
      });
    }
  },

  // kind 0: sendFeatureReport, 1: receiveFeatureReport, 2: sendReport. `data` is the report
  // without its identifier. Answers [error, received DataView or null].
  transfer: async function(kind, number, id, data) {
    var entry = TolvaneWebHid.entries.get(number);
    if (!entry || entry.gone) return [1167, null];
    var operation;
    try {
      var device = entry.device;
      operation = kind === 0 ? device.sendFeatureReport(id, data)
                : kind === 1 ? device.receiveFeatureReport(id)
                             : device.sendReport(id, data);
    } catch (error) {
      return [TolvaneWebHid.failed(error), null];
    }
    var outcome = await TolvaneWebHid.settle(entry, operation, TolvaneWebHid.transferLimitMs);
    if (outcome.gone || entry.gone) return [1167, null];
    if (outcome.timedOut) return [995, null];
    if (outcome.error) return [TolvaneWebHid.failed(outcome.error), null];
    return [0, kind === 1 ? outcome.value : null];
  },
};
if (typeof Module !== 'undefined') Module['TolvaneWebHid'] = TolvaneWebHid;
