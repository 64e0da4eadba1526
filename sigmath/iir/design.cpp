#include "iir/design.hpp"

namespace sigmath::iir {

namespace {
PrototypeSpec prototype_spec(const DesignRequest &r)
{
    PrototypeSpec s;
    s.family = r.family;
    s.type = r.type;
    s.order = r.order;
    s.ripple = r.ripple;
    s.attenuation = r.attenuation;
    return s;
}
} // namespace

Design::Design(const DesignRequest &request)
    : prototype_(prototype_spec(request)), warp_(prewarp(request.type, request.fs, request.fl, request.fh))
{
}

} // namespace sigmath::iir
