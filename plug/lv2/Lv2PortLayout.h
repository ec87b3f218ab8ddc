// Lv2PortLayout: the LV2 port numbers of a plug-in: its parameters, then audio, then reports.
#pragma once

namespace plug {

// One control input per parameter (port number = parameter index), then the audio inputs and
// outputs, then three control outputs: the latency (samples), the output meter (dBFS) and the
// overload lamp (0 to 1), then an atom output for notifications to the host. Hosts save port
// numbers in their sessions, so new ports only ever go at the end. Threads: any.
struct Lv2PortLayout {
  int nParams = 0;
  int nInputs = 0;
  int nOutputs = 0;

  int AudioIn(int channel) const { return nParams + channel; }
  int AudioOut(int channel) const { return nParams + nInputs + channel; }
  int Latency() const { return nParams + nInputs + nOutputs; }
  int Meter() const { return Latency() + 1; }
  int Lamp() const { return Latency() + 2; }
  int Notify() const { return Latency() + 3; }
  int NPorts() const { return Latency() + 4; }
};

}  // namespace plug
