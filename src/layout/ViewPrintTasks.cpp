// The view core's list of print tasks.
#include <algorithm>

#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

void TKivEditViewCore::AddPrintTask(IKivViewPrintTask* ATask) {
  if (!ATask || std::find(FPrintTasks.begin(), FPrintTasks.end(), ATask) != FPrintTasks.end()) return;
  FPrintTasks.push_back(ATask);
}

void TKivEditViewCore::RemovePrintTask(IKivViewPrintTask* ATask) {
  FPrintTasks.erase(std::remove(FPrintTasks.begin(), FPrintTasks.end(), ATask), FPrintTasks.end());
}

void TKivEditViewCore::NotifyPrintTasks(bool ADestroying) {
  // A task may unbind itself while told.
  const std::vector<IKivViewPrintTask*> tasks = FPrintTasks;
  for (IKivViewPrintTask* task : tasks) {
    if (std::find(FPrintTasks.begin(), FPrintTasks.end(), task) == FPrintTasks.end()) continue;
    if (ADestroying) {
      RemovePrintTask(task);
      try {
        task->ViewDestroying(*this);
      } catch (...) {
      }
    } else {
      task->ViewFontChanged(*this);
    }
  }
}

std::vector<std::pair<Integer, Integer>> TKivEditViewCore::ShownCollapsedFolds() const {
  std::vector<std::pair<Integer, Integer>> out;
  for (const auto& [start, end] : FScreenCache->CollapsedFolds()) {
    if (!out.empty() && start <= out.back().second) continue;
    out.emplace_back(start, end);
  }
  return out;
}
