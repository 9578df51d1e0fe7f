// Shared values read from several threads at once: the first size
// computation races by design (every thread stores the same number), and
// the shared empty values are created once. Run under ThreadSanitizer.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"

TEST(ORVValueConcurrencyTest, ThreadsEncodeOneValueWhoseSizeIsNotYetKnown) {
  for (int round = 0; round < 20; ++round) {
    // Made from raw entries, so no size is known until the first call.
    ORVDataArray::Elements inner;
    for (int i = 0; i < 50; ++i) inner.push_back(ORVDataElement::dataElementWithString("mục " + std::to_string(i)));
    auto array = std::make_shared<const ORVDataArray>(std::move(inner));
    ORVDataObject::Entries entries;
    entries.emplace_back("rs", ORVDataElement::dataElementWithDataArray(array));
    auto object = std::make_shared<const ORVDataObject>(std::move(entries));

    std::vector<std::vector<uint8_t>> results(4);
    std::vector<const void*> empties(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        results[t] = object->data();
        empties[t] = ORVDataObject::dataObject().get();
      });
    }
    for (auto& th : threads) th.join();
    for (int t = 1; t < 4; ++t) {
      EXPECT_EQ(results[t], results[0]);
      EXPECT_EQ(empties[t], empties[0]);
    }
    EXPECT_EQ(results[0].size(), object->serializedSize());
  }
}
