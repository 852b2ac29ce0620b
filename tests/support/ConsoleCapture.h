// Captures everything printed on the engine console while it lives.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "rxKernel.h"

class ConsoleCapture {
 public:
  struct Message {
    bool urgent;
    std::string text;
  };

  ConsoleCapture() { kivConsole_SetSink(&Sink, this); }
  ~ConsoleCapture() { kivConsole_SetSink(nullptr, nullptr); }
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  // Everything printed with kivConsole_Print / kivConsole_UrgentPrint, in order.
  const std::string& Normal() const { return normal_; }
  const std::string& Urgent() const { return urgent_; }
  const std::vector<Message>& Messages() const { return messages_; }
  void Clear() {
    normal_.clear();
    urgent_.clear();
    messages_.clear();
  }

 private:
  static void Sink(void* context, int urgent, const char* text) {
    auto* self = static_cast<ConsoleCapture*>(context);
    (urgent ? self->urgent_ : self->normal_) += text;
    self->messages_.push_back({urgent != 0, text});
  }

  std::string normal_;
  std::string urgent_;
  std::vector<Message> messages_;
};
