#include "app/BenchmarkRun.h"

namespace qmk {

void RunBenchmark(TBitmap&, TPaintBox&, TMemo&) {}

}  // namespace qmk
