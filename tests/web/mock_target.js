// A target over the mock WebHID (mock_hid.js) that speaks the update protocol: the application
// 0x5C3B:0x0326 restarts into its boot loader 0x5C3B:0x030B on the reset sequence, the boot
// loader stores the announced bytes, answers the finish query with their 16-bit sum and restarts
// the application on a reset. 64-byte feature reports without identifiers. The boot loader is
// given permission when it arrives unless grantsBootLoader is false (then the page must ask).
(function() {
  'use strict';
  var VENDOR_RESET = [0x55, 0x23, 0x01, 0x09, 0x00, 0x86];

  function MockTarget(hid, options) {
    options = options || {};
    this.hid = hid;
    this.reenumerationMs = options.reenumerationMs === undefined ? 50 : options.reenumerationMs;
    this.grantsBootLoader = options.grantsBootLoader !== false;
    this.memory = [];
    this.loadAddress = -1;
    this.inBootLoader = !!options.startsInBootLoader;
    this.application = this.inBootLoader ? null : this.plugApplication();
    this.bootLoader = this.inBootLoader ? this.plugBootLoader() : null;
  }

  MockTarget.prototype.plugApplication = function() {
    var target = this;
    return this.hid.plug({vendorId: 0x5C3B, productId: 0x0326, productName: 'Mock target'}, {
      onSetFeature: function(id, bytes) {
        var reset = VENDOR_RESET.every(function(b, i) { return bytes[i] === b; }) || bytes[0] === 0x44;
        if (reset) target.switchTo(true);
      },
      onGetFeature: function() { return new Array(64).fill(0); },
    });
  };

  MockTarget.prototype.plugBootLoader = function() {
    var target = this;
    var phase = 'idle', left = 0;
    var sum = function() {
      return target.memory.reduce(function(a, b) { return (a + b) & 0xFFFF; }, 0);
    };
    return this.hid.plug({vendorId: 0x5C3B, productId: 0x030B, productName: 'Mock boot loader'}, {
      onSetFeature: function(id, bytes) {
        if (phase === 'receiving') {
          var n = Math.min(left, bytes.length);
          for (var i = 0; i < n; ++i) target.memory.push(bytes[i]);
          left -= n;
          if (left === 0) phase = 'received';
        } else if (bytes[0] === 0x22 && bytes[6] === 0x02) {
          phase = phase === 'received' ? 'finishing' : 'started';
        } else if (bytes[0] === 0x33) {
          target.loadAddress = bytes[1] << 16 | bytes[2] << 8 | bytes[3];
          left = bytes[4] << 16 | bytes[5] << 8 | bytes[6];
          target.memory = [];
          phase = left ? 'receiving' : 'received';
        } else if (bytes[0] === 0x44) {
          target.switchTo(false);
        }
      },
      onGetFeature: function() {
        var answer = new Array(64).fill(0);
        if (phase === 'finishing') {
          answer[0] = sum() >> 8;
          answer[1] = sum() & 0xFF;
        }
        return answer;
      },
    }, this.grantsBootLoader);
  };

  // The device leaves the bus after the report's answer and comes back as the other identity.
  MockTarget.prototype.switchTo = function(bootLoader) {
    var target = this;
    setTimeout(function() {
      target.hid.unplug(bootLoader ? target.application : target.bootLoader);
      setTimeout(function() {
        target.inBootLoader = bootLoader;
        if (bootLoader) target.bootLoader = target.plugBootLoader();
        else target.application = target.plugApplication();
      }, target.reenumerationMs);
    }, 1);
  };

  MockTarget.prototype.holds = function(image) {
    return this.memory.length === image.length &&
           this.memory.every(function(b, i) { return b === image[i]; });
  };

  var root = typeof globalThis !== 'undefined' ? globalThis : window;
  root.MockTarget = MockTarget;
})();

// A person at the page: clicks the element `id` once it is shown, `afterMs` later (the tests'
// stand-in for pressing "Allow the boot loader"; the mock's chooser needs no gesture).
(function() {
  'use strict';
  var root = typeof globalThis !== 'undefined' ? globalThis : window;
  root.mockUserClicks = function(id, afterMs) {
    var poll = setInterval(function() {
      var element = document.getElementById(id);
      if (!element || element.hidden) return;
      clearInterval(poll);
      setTimeout(function() { element.click(); }, afterMs);
    }, 100);
  };
})();
