#include "batch/BatchRun.h"
#include "engine/CompressShapes.h"

namespace batch {

BatchRun::BatchRun(engine::EngineContext& ctx) : BatchRun(ctx, &engine::CompressShapes) {}

} // namespace batch
