// A stand-in for navigator.hid that behaves as Chromium's does where our backend must make up
// for it: the report identifier is an argument of its own and left out of received reports of
// devices without identifiers; no length is checked against the descriptor; every failure is a
// NotAllowedError; after a disconnect what was pending never settles; each arrival is a new
// HIDDevice object. A device's behaviour is an object with onSetFeature(id, bytes),
// onGetFeature(id) -> bytes (without identifier), onOutput(id, bytes); each may throw to refuse
// or return MockHid.HANG to never answer. Loaded before the program (node tests) or by the page
// with ?mock-hid.
(function() {
  'use strict';
  var HANG = {hang: true};

  function notAllowed(message) {
    return new DOMException(message, 'NotAllowedError');
  }

  // One collection with feature, output and input reports of the given lengths (without the
  // identifier byte), all under identifier `id` (0: none).
  function collection(feature, output, input, id) {
    var reports = function(bytes) {
      return bytes ? [{reportId: id || 0, items: [{reportSize: 8, reportCount: bytes}]}] : [];
    };
    return {usagePage: 0xFF00, usage: 1, featureReports: reports(feature),
            outputReports: reports(output), inputReports: reports(input)};
  }

  function MockHidDevice(hid, spec, behaviour) {
    this.hid = hid;
    this.vendorId = spec.vendorId;
    this.productId = spec.productId;
    this.productName = spec.productName || 'Mock device';
    this.collections = spec.collections || [collection(64, 8, 8, 0)];
    this.opened = false;
    this.connected = true;
    this.refusesOpen = !!spec.refusesOpen;
    this.behaviour = behaviour || {};
    this.log = [];
  }
  MockHidDevice.prototype.usesIds = function() {
    return this.collections.some(function(c) {
      return [].concat(c.featureReports || [], c.outputReports || [], c.inputReports || [])
          .some(function(r) { return r.reportId; });
    });
  };
  MockHidDevice.prototype.open = function() {
    if (!this.connected) return new Promise(function() {});
    if (this.refusesOpen) return Promise.reject(notAllowed('Failed to open the device.'));
    this.opened = true;
    return Promise.resolve();
  };
  MockHidDevice.prototype.close = function() {
    this.opened = false;
    return Promise.resolve();
  };
  MockHidDevice.prototype.call = function(what, id, bytes) {
    var device = this;
    if (!device.connected) return new Promise(function() {});  // Chromium: may never settle
    if (!device.opened) {
      return Promise.reject(new DOMException('The device must be opened first.', 'InvalidStateError'));
    }
    device.log.push({what: what, id: id, bytes: bytes ? Array.from(bytes) : null});
    return new Promise(function(resolve, reject) {
      Promise.resolve().then(function() {
        if (!device.connected) return;  // gone meanwhile: never settles
        var answer;
        try {
          var handler = device.behaviour[what];
          answer = handler ? handler.call(device.behaviour, id, bytes, device) : undefined;
        } catch (error) {
          reject(notAllowed(what === 'onGetFeature' ? 'Failed to receive the feature report.'
                                                    : 'Failed to write the report.'));
          return;
        }
        if (answer === HANG) return;
        if (what !== 'onGetFeature') return resolve(undefined);
        var report = Array.from(answer || []);
        if (device.usesIds()) report.unshift(id);  // with identifiers: the identifier first
        resolve(new DataView(new Uint8Array(report).buffer));
      });
    });
  };
  MockHidDevice.prototype.sendFeatureReport = function(id, data) {
    return this.call('onSetFeature', id, new Uint8Array(data.buffer || data));
  };
  MockHidDevice.prototype.receiveFeatureReport = function(id) {
    return this.call('onGetFeature', id, null);
  };
  MockHidDevice.prototype.sendReport = function(id, data) {
    return this.call('onOutput', id, new Uint8Array(data.buffer || data));
  };

  function MockHid() {
    this.listeners = {connect: [], disconnect: []};
    this.devices = [];
    this.permitted = new Set();
  }
  MockHid.HANG = HANG;
  MockHid.collection = collection;
  MockHid.prototype.addEventListener = function(type, listener) {
    if (this.listeners[type]) this.listeners[type].push(listener);
  };
  MockHid.prototype.emit = function(type, device) {
    var event = {type: type, device: device};
    this.listeners[type].forEach(function(listener) { listener(event); });
  };
  MockHid.prototype.getDevices = function() {
    var hid = this;
    return Promise.resolve(hid.devices.filter(function(d) { return hid.permitted.has(d); }));
  };
  // The user picks the first device that matches a filter (none: the chooser was cancelled).
  MockHid.prototype.requestDevice = function(options) {
    var filters = (options && options.filters) || [];
    var chosen = this.devices.filter(function(d) {
      return filters.some(function(f) {
        return (f.vendorId === undefined || f.vendorId === d.vendorId) &&
               (f.productId === undefined || f.productId === d.productId);
      });
    }).slice(0, 1);
    var hid = this;
    chosen.forEach(function(d) { hid.permitted.add(d); });
    return Promise.resolve(chosen);
  };
  // Plugs in a new device (a new HIDDevice object), permitted unless `permitted` is false.
  MockHid.prototype.plug = function(spec, behaviour, permitted) {
    var device = new MockHidDevice(this, spec, behaviour);
    this.devices.push(device);
    if (permitted !== false) {
      this.permitted.add(device);
      this.emit('connect', device);
    }
    return device;
  };
  MockHid.prototype.unplug = function(device) {
    if (!device.connected) return;
    device.connected = false;
    device.opened = false;
    this.devices = this.devices.filter(function(d) { return d !== device; });
    if (this.permitted.delete(device)) this.emit('disconnect', device);
  };
  MockHid.prototype.reset = function() {
    var hid = this;
    hid.devices.slice().forEach(function(d) { hid.unplug(d); });
    hid.permitted.clear();
  };

  var root = typeof globalThis !== 'undefined' ? globalThis : window;
  root.MockHid = MockHid;
  root.mockHid = new MockHid();
  if (typeof navigator === 'undefined') {
    root.navigator = {hid: root.mockHid};
  } else {
    Object.defineProperty(navigator, 'hid', {value: root.mockHid, configurable: true});
  }
})();
