#include "ui/update_bindings.h"
#include "ui/worker_factory.h"

std::unique_ptr<WorkerPort> MakeWorker() { return std::make_unique<CWorkerBinding>(); }
