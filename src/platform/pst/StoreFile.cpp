#include "platform/pst/StoreFile.h"

namespace pst::detail {
namespace {

template <class F>
class WriterOutput : public NodeOutput {
 public:
  explicit WriterOutput(NdbWriter<F>& ndb) : ndb_(ndb) {}
  void AddNode(std::uint32_t nid, std::uint32_t parent, const NodeContent& c) override {
    ndb_.AddNode(nid, parent, c);
  }
  std::uint64_t AddSharedBlock(const Stream& s) override { return ndb_.AddSharedBlock(s); }

 private:
  NdbWriter<F>& ndb_;
};

template <class F>
void Serialize(const StoreModel& model, const LtpFormat& fmt, FileSink& sink, std::mt19937_64& rng) {
  NdbWriter<F> ndb(sink);
  WriterOutput<F> out(ndb);
  const HeaderInfo info = WriteMessaging(model, fmt, out, rng);
  ndb.Finish(info);
}

}  // namespace

LtpFormat FileFormat(bool unicode, int codePage) {
  LtpFormat fmt;
  fmt.unicode = unicode;
  fmt.maxBlock = unicode ? UnicodeFormat::kMaxBlockData : AnsiFormat::kMaxBlockData;
  fmt.rowIndexValue = unicode ? 4 : 2;
  fmt.codePage = codePage;
  if (!unicode) fmt.ansi = std::make_shared<const codepage::AnsiEncoder>(codePage);
  return fmt;
}

void SerializeStore(const StoreModel& model, const LtpFormat& fmt, FileSink& sink, std::mt19937_64& rng) {
  if (fmt.unicode) Serialize<UnicodeFormat>(model, fmt, sink, rng);
  else Serialize<AnsiFormat>(model, fmt, sink, rng);
}

}  // namespace pst::detail
