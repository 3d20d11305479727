// The worker object the program binds its dialog to.
#pragma once

#include <memory>

#include "ui/update_ports.h"

std::unique_ptr<WorkerPort> MakeWorker();
