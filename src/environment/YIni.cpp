#include "environment/YIni.h"

namespace plume {
namespace {

std::shared_ptr<YIni>& shared() {
    static std::shared_ptr<YIni> instance;
    return instance;
}

}  // namespace

std::shared_ptr<YIni> YIni::take() {
    if (!shared()) shared() = std::make_shared<YIni>();
    return shared();
}

void YIni::release() {
    shared().reset();
}

}  // namespace plume
