// Each single-class plug-in of the LV2 bundle, loaded from the built quorvani.so as a host
// loads it, with no host feature, and run in blocks of 128 samples beside its bare unit: what
// the wrapper (re-blocking into 32-sample frames, control ramps, bypass) costs. Its audio
// inlets are fed as the unit's are; every control port takes the first value of its inlet's
// frame, so control movement reaches it once per block.

#include "BenchRegistry.h"
#include "PluginSpec.h"

#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <cstdio>

namespace qvzbench {
namespace {

constexpr double kWrapperTarget = 1.1; // the plug-in at most this many times the bare unit

const LV2_Descriptor *descriptorOf(const std::string &uri) {
  static void *library = dlopen(QVZ_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  const auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
  for (uint32_t i = 0; entry && entry(i); i++)
    if (uri == entry(i)->URI) return entry(i);
  return nullptr;
}

class PluginKernel : public Kernel {
public:
  PluginKernel(const qvzlv2::PluginSpec &layout, float sampleRate) : mValues(layout.ports.size()) {
    mDescriptor = descriptorOf(layout.uri);
    if (!mDescriptor) {
      std::fprintf(stderr, "qvz_bench: %s is not in %s\n", layout.uri.c_str(), QVZ_LV2_BINARY);
      return;
    }
    mHandle = mDescriptor->instantiate(mDescriptor, sampleRate, "", nullptr);
    // The unit's inlets in registration order, as the benchmark's inputs come.
    od::Object *probe = layout.units[0].make();
    probe->attach();
    for (int i = 0; i < probe->inputCount(); i++) {
      int port = -1;
      for (size_t p = 0; p < layout.ports.size(); p++)
        if (!layout.ports[p].bindings.empty() && layout.ports[p].target == qvzlv2::Target::Inlet &&
            layout.ports[p].bindings[0].port == probe->getInput(i)->name())
          port = (int)p;
      mInlets.push_back({port, port >= 0 && layout.ports[port].type == qvzlv2::PortType::AudioIn});
    }
    probe->release();
    for (size_t p = 0; p < layout.ports.size(); p++) {
      mValues[p] = layout.ports[p].defaultValue;
      if (layout.ports[p].type == qvzlv2::PortType::AudioOut) mOutputs.push_back((int)p);
      else if (layout.ports[p].type != qvzlv2::PortType::AudioIn && layout.ports[p].type != qvzlv2::PortType::EventsIn)
        mDescriptor->connect_port(mHandle, (uint32_t)p, &mValues[p]);
    }
    if (mDescriptor->activate) mDescriptor->activate(mHandle);
  }
  ~PluginKernel() override {
    if (mHandle) mDescriptor->cleanup(mHandle);
  }
  void process(const float *const *inputs, float *const *outputs, int frameLength) override {
    if (!mHandle) return;
    for (size_t k = 0; k < mInlets.size(); k++) {
      const Inlet &inlet = mInlets[k];
      if (inlet.port < 0) continue;
      if (inlet.audio) mDescriptor->connect_port(mHandle, (uint32_t)inlet.port, const_cast<float *>(inputs[k]));
      else mValues[inlet.port] = inputs[k][0];
    }
    for (size_t k = 0; k < mOutputs.size(); k++) mDescriptor->connect_port(mHandle, (uint32_t)mOutputs[k], outputs[k]);
    mDescriptor->run(mHandle, (uint32_t)frameLength);
  }

private:
  struct Inlet {
    int port;
    bool audio;
  };
  const LV2_Descriptor *mDescriptor = nullptr;
  LV2_Handle mHandle = nullptr;
  std::vector<float> mValues;
  std::vector<Inlet> mInlets;
  std::vector<int> mOutputs;
};

struct RegisterPlugins {
  RegisterPlugins() {
    for (const qvzlv2::PluginSpec &layout : qvzlv2::plugins()) {
      if (layout.units.size() != 1 || layout.extra == qvzlv2::Extra::Compressor) continue;
      const std::string unit = layout.units[0].className;
      if (layout.uri != qvzlv2::kUriPrefix + unit) continue;
      int outputs = 0;
      for (const qvzlv2::PortSpec &p : layout.ports) outputs += p.type == qvzlv2::PortType::AudioOut;
      const qvzlv2::PluginSpec *plugin = &layout;
      compareRegistry().push_back({unit, CompareKind::Plugin, "LV2 plug-in, run(128)", 1, {}, outputs, kWrapperTarget,
                                   [plugin](float rate) { return std::make_unique<PluginKernel>(*plugin, rate); }});
    }
  }
} gRegisterPlugins;

} // namespace
} // namespace qvzbench
