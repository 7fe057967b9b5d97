#include "import/Isolated.h"

namespace {

class Collect final : public IsolatedOutput {
public:
  explicit Collect(QByteArray &bytes, qint64 limit) : bytes_(bytes), limit_(limit) {}
  void write(const QByteArray &bytes) override {
    overflow_ = overflow_ || bytes_.size() + bytes.size() > limit_;
    if (!overflow_)
      bytes_.append(bytes);
  }
  bool overflow() const { return overflow_; }

private:
  QByteArray &bytes_;
  qint64 limit_;
  bool overflow_ = false;
};

} // namespace

// No child processes here: the work runs in the program itself.
bool RunIsolated(const std::function<void(IsolatedOutput &)> &work, QByteArray &output,
                 qint64 maxOutputBytes, int) {
  output.clear();
  Collect collect(output, maxOutputBytes);
  work(collect);
  if (collect.overflow())
    output.clear();
  return !collect.overflow();
}
