#include "definitions/header/hdr_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/header/byte_vector_codecs.h"
#include "definitions/header/hdr_sub_list.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/hdr_payloads.h"
#include "tests/support/ipc_test_folder.h"

namespace {

using Vok::ByteVector;
using Vok::Test::IpcTest;
using Vok::Test::Payload;
using Vok::Test::ValueAt;

ByteVector Bytes(std::initializer_list<int> values) {
    ByteVector bytes;
    for (int v : values) bytes.push_back(static_cast<unsigned char>(v));
    return bytes;
}

ByteVector Filled(size_t n) {
    ByteVector bytes(n);
    for (size_t k = 0; k < n; ++k) bytes[k] = static_cast<unsigned char>(k * 7 + 1);
    return bytes;
}

std::vector<sShapeItem> Items(size_t n) {
    std::vector<sShapeItem> items(n);
    for (size_t k = 0; k < n; ++k) {
        for (size_t b = 0; b < sShapeItem::kSize; ++b) items[k].bytes[b] = static_cast<uint8_t>(k + b);
    }
    return items;
}

bool SameItems(const std::vector<sShapeItem>& a, const std::vector<sShapeItem>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sShapeItem::kSize) == 0);
}

TEST(ByteVectorCodecs, ImagesOfItemsAndTexts) {
    ByteVector bytes;
    TextToBytes("abc", bytes);
    EXPECT_EQ(bytes, Bytes({3, 0, 0, 0, 'a', 'b', 'c'}));
    std::string text = "old";
    EXPECT_TRUE(BytesToText(bytes, text));
    EXPECT_EQ(text, "abc");
    EXPECT_FALSE(BytesToText(Bytes({4, 0, 0, 0, 'a', 'b', 'c'}), text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(BytesToText(Bytes({1, 0}), text));
    EXPECT_TRUE(BytesToText(ByteVector(), text));

    ShapeItemsToBytes(Items(2), bytes);
    ASSERT_EQ(bytes.size(), 4u + 56u);
    EXPECT_EQ(ByteVector(bytes.begin(), bytes.begin() + 6), Bytes({2, 0, 0, 0, 0, 1}));
    EXPECT_EQ(bytes[4 + 28], 1);  // the second item's first byte
    std::vector<sShapeItem> items;
    EXPECT_TRUE(BytesToShapeItems(bytes, items));
    EXPECT_TRUE(SameItems(items, Items(2)));
    // A count of three with the bytes of two items is corrupt: nothing, not three zero items.
    bytes[0] = 3;
    EXPECT_FALSE(BytesToShapeItems(bytes, items));
    EXPECT_TRUE(items.empty());
    EXPECT_TRUE(BytesToShapeItems(ByteVector(), items));
    EXPECT_TRUE(items.empty());
}

TEST(HdrSubList, CopiesAreBoundedByThePayloadAndZeroPadded) {
    CHdrList list;
    Payload(4).I32(0, 11).Add(list, 129);
    Payload(8).I32(0, 12).I32(4, 13).Add(list, 130);
    Payload(8).I32(0, 14).I32(4, 15).Add(list, 129);
    CHdrSubList sub(129, &list, 8);
    ASSERT_EQ(sub.GetCount(), 2);
    const auto* first = static_cast<const uint8_t*>(sub.GetHead());
    EXPECT_EQ(sub.GetElementSize(first), 8u);
    EXPECT_EQ(ValueAt<int32_t>(first, 0), 11);
    EXPECT_EQ(ValueAt<int32_t>(first, 4), 0);
    sub.CopyRecords(129, 130, &list, 4);
    ASSERT_EQ(sub.GetCount(), 3);
    EXPECT_EQ(ValueAt<int32_t>(static_cast<const uint8_t*>(sub.GetAt(sub.FindIndex(1))), 0), 12);  // list order
    sub.CopyRecords(77, &list, 8);
    EXPECT_TRUE(sub.IsEmpty());

    // The pointer list's own operations: a plain buffer added has no known size and is deleted
    // with the sub-list; an element taken out is the caller's to delete[].
    sub.CopyRecords(129, &list, 8);
    sub.AddTail(new uint8_t[4]{7, 0, 0, 0});
    EXPECT_EQ(CHdrList::FindSubRecord0(7, &sub), nullptr);
    delete[] static_cast<uint8_t*>(sub.RemoveHead());
    EXPECT_EQ(CHdrList::FindSubRecord01(14, 15, &sub), sub.GetHead());

    const CHdrSubList wider(CHdrSubList(129, &list, 4), 12);
    EXPECT_EQ(wider.GetElementSize(wider.GetTail()), 12u);
    EXPECT_EQ(ValueAt<int32_t>(static_cast<const uint8_t*>(wider.GetTail()), 4), 0);

    // Putting short copies back gives records of the full size.
    const CHdrSubList shorter(129, &list, 4);
    EXPECT_EQ(list.SetRecords(&shorter, 129, 8), 1);
    EXPECT_EQ(list.GetEntry(129, 2)->payloadSize, 8u);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(129, 2), 0), 14);

    // Another sub-list added at either end gives copies of its elements with their sizes; an
    // element put back in its own place keeps its size.
    CHdrSubList joined(129, &list, 8);
    joined.AddTail(&shorter);
    joined.AddHead(&shorter);
    ASSERT_EQ(joined.GetCount(), 6);
    EXPECT_NE(joined.GetHead(), shorter.GetHead());
    EXPECT_EQ(joined.GetElementSize(joined.GetHead()), 4u);
    EXPECT_EQ(ValueAt<int32_t>(static_cast<const uint8_t*>(joined.GetTail()), 0), 14);
    const POSITION own = joined.FindIndex(2);  // a copy of its own
    joined.SetAt(own, joined.GetAt(own));
    EXPECT_EQ(list.SetRecords(&joined, 129, 8), 1);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(129, 3), 0), 11);
}

class HdrSubListIpcTest : public IpcTest {};

TEST_F(HdrSubListIpcTest, ElementsTravelAsRecordsOfTheItem) {
    CHdrList list;
    for (int32_t k = 1; k <= 3; ++k) Payload(12).I32(0, k).I32(8, -k).Add(list, 129);
    const CHdrSubList sub(129, &list, 8);  // shorter than the item's records
    IpcBufferHandle host("S", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(5, 12 * 2, 12);  // room for two records of 12 bytes
    EXPECT_EQ(sub.WriteToIpc(host, 1), 1);
    EXPECT_EQ(host.buffer.GetRecordCount(0), 2u);
    EXPECT_EQ(sub.WriteToIpc(host, 9), 1);  // no such item
    host.Unlock();

    IpcBufferHandle reader("S", 0);
    ASSERT_TRUE(reader.Lock());
    CHdrSubList read;
    EXPECT_EQ(read.ReadFromIpc(reader, 1), 1);
    reader.Unlock();
    ASSERT_EQ(read.GetCount(), 2);
    const auto* second = static_cast<const uint8_t*>(read.GetTail());
    EXPECT_EQ(read.GetElementSize(second), 12u);
    EXPECT_EQ(ValueAt<int32_t>(second, 0), 2);
    EXPECT_EQ(ValueAt<int32_t>(second, 8), 0);  // beyond the copied 8 bytes
}

TEST(HdrBlobs, ChunksOfAStreamAt2048And2049Bytes) {
    // Stream: u32 1, "x", u32 n, n bytes = 9 + n bytes.
    struct sRow {
        size_t content;
        int32_t chunks;
        int32_t lastLength;
    };
    for (const sRow& row : {sRow{2039, 1, 2048}, sRow{2040, 2, 1}, sRow{0, 1, 9}}) {
        CHdrList list;
        const ByteVector content = Filled(row.content);
        list.WriteBlob(4, "x", content);
        const uint8_t* header = list.GetRecord(269, 1);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(list.GetEntry(269, 1)->payloadSize, 12u);
        EXPECT_EQ(ValueAt<int32_t>(header, 0), 4);
        EXPECT_EQ(ValueAt<int32_t>(header, 4), row.chunks);
        EXPECT_EQ(ValueAt<int32_t>(header, 8), static_cast<int32_t>(9 + row.content));
        ASSERT_EQ(list.GetRecordCount(270), static_cast<uint32_t>(row.chunks));
        const uint8_t* first = list.GetRecord(270, 1);
        EXPECT_EQ(ByteVector(first + 12, first + 17), Bytes({1, 0, 0, 0, 'x'}));
        EXPECT_EQ(ValueAt<uint32_t>(first, 17), row.content);
        const uint8_t* last = list.GetRecord(270, row.chunks);
        EXPECT_EQ(ValueAt<int32_t>(last, 4), row.chunks - 1);
        EXPECT_EQ(ValueAt<int32_t>(last, 8), row.lastLength);
        EXPECT_EQ(std::count(last + 12 + row.lastLength, last + 2060, 0), 2048 - row.lastLength);
        std::string mime;
        ByteVector read;
        list.GetBlob(4, mime, read);
        EXPECT_EQ(mime, "x");
        EXPECT_EQ(read, content);
        EXPECT_EQ(list.NextBlobId(), 1);
    }
}

TEST(HdrBlobs, BrokenBlobsAreNoBlobs) {
    using Mutation = void (*)(CHdrList&);
    const std::pair<const char*, Mutation> rows[] = {
        {"chunk length 0", [](CHdrList& l) { std::memset(l.GetRecord(270, 2) + 8, 0, 4); }},
        {"chunk length 2049", [](CHdrList& l) { Vok::Definitions::StoreAt(l.GetRecord(270, 1), 8, int32_t{2049}); }},
        {"missing chunk", [](CHdrList& l) { l.DeleteRecord(270, 2); }},
        {"total differs", [](CHdrList& l) { Vok::Definitions::StoreAt(l.GetRecord(269, 1), 8, int32_t{2100}); }},
        {"count negative", [](CHdrList& l) { Vok::Definitions::StoreAt(l.GetRecord(269, 1), 4, int32_t{-1}); }},
        {"content cut", [](CHdrList& l) {  // the inner length claims one byte more than the stream holds
             Vok::Definitions::StoreAt(l.GetRecord(270, 1), 17, uint32_t{2041}); }},
    };
    for (const auto& [name, mutate] : rows) {
        CHdrList list;
        list.WriteBlob(1, "x", Filled(2040));
        mutate(list);
        std::string mime = "stale";
        ByteVector read = Filled(3);
        list.GetBlob(1, mime, read);
        EXPECT_EQ(mime, "") << name;
        EXPECT_TRUE(read.empty()) << name;
    }
}

TEST(HdrBlobs, IdsAndRemoval) {
    CHdrList list;
    EXPECT_EQ(list.NextBlobId(), 1);
    list.WriteBlob(1, "a", Filled(3000));
    list.WriteBlob(3, "b", Filled(1));
    EXPECT_EQ(list.NextBlobId(), 2);
    EXPECT_EQ(list.AddBlob("c", Filled(2)), 2);
    list.RemoveBlob(1);
    EXPECT_EQ(list.GetRecordCount(269), 2u);
    EXPECT_EQ(list.GetRecordCount(270), 2u);
    std::string mime;
    ByteVector read;
    list.GetBlob(3, mime, read);
    EXPECT_EQ(mime, "b");
    // A chunk whose header is gone keeps its id from being handed out again.
    CHdrList stray;
    stray.WriteBlob(1, "a", Filled(10));
    stray.DeleteRecord(269, 1);
    EXPECT_EQ(stray.NextBlobId(), 2);
    stray.SetProjectWkt("GEOGCS[]", -1);
    EXPECT_EQ(stray.GetProjectWktBlobId(), 2);
}

TEST(HdrBlobs, WktTextsOfTheProjectAndOfRecords) {
    CHdrList list;
    int32_t field = 5;
    EXPECT_FALSE(list.WriteWktBlob(field, "", -1));
    EXPECT_EQ(field, 5);
    EXPECT_TRUE(list.IsEmpty());

    std::string text;
    EXPECT_EQ(list.GetProjectWkt(text), "");
    EXPECT_EQ(list.GetProjectWktBlobId(), -1);
    list.SetProjectWkt("GEOGCS[\"WGS 84\"]", -1);
    EXPECT_EQ(list.GetProjectWkt(text), "GEOGCS[\"WGS 84\"]");
    EXPECT_EQ(list.GetProjectWktBlobId(), 1);
    list.SetProjectWkt("PROJCS[]", -1);  // replaces the blob under the same id
    EXPECT_EQ(list.GetProjectWkt(text), "PROJCS[]");
    EXPECT_EQ(list.GetRecordCount(269), 1u);

    // A forced id that another blob holds takes its place.
    list.WriteBlob(7, "other", Filled(4));
    list.SetProjectWkt("LOCAL_CS[]", 7);
    EXPECT_EQ(list.GetProjectWktBlobId(), 7);
    EXPECT_EQ(list.GetProjectWkt(text), "LOCAL_CS[]");
    EXPECT_EQ(list.GetRecordCount(269), 1u);
    EXPECT_FALSE(list.ReadWktBlob(0, text));

    // Not a WKT blob: no text.
    list.WriteBlob(9, CHdrList::kVesselShapeMime, Filled(4));
    EXPECT_FALSE(list.ReadWktBlob(9, text));

    std::vector<uint8_t> record(684, 0);
    list.SetRecordWkt(record.data(), 684, "VERT_CS[]");
    const int32_t id = ValueAt<int32_t>(record.data(), 680);
    EXPECT_EQ(list.GetRecordWktBlobId(record.data(), 684), id);
    EXPECT_EQ(list.GetRecordWkt(record.data(), 684, text), "VERT_CS[]");
    EXPECT_EQ(list.GetRecordWktBlobId(record.data(), 683), -1);
    EXPECT_EQ(list.GetRecordWkt(nullptr, 0, text), "");
    list.SetRecordWkt(record.data(), 683, "X");  // too short to hold the id: nothing
    EXPECT_EQ(ValueAt<int32_t>(record.data(), 680), id);
}

TEST(HdrBlobs, VesselShapeInsideAnOldObjectRecordIsClampedTo1000Items) {
    CHdrList list;
    Payload(28080).I32(40, 3).Add(list, 166);
    list.SetVesselShape(3, Items(1500));
    EXPECT_EQ(ValueAt<uint32_t>(list.GetObject(3), 76), 1000u);
    std::vector<sShapeItem> items;
    EXPECT_TRUE(list.GetVesselShape(3, items));
    std::vector<sShapeItem> expected = Items(1000);
    EXPECT_TRUE(SameItems(items, expected));
    EXPECT_TRUE(list.GetVesselShape(-1, items));
    // A stored count beyond the record's room is read as the room.
    Vok::Definitions::StoreAt(list.GetObject(3), 76, uint32_t{5000});
    EXPECT_TRUE(list.GetVesselShape(3, items));
    EXPECT_EQ(items.size(), 1000u);
}

TEST(HdrBlobs, VesselShapeOfANewObjectLivesInAShapeRecordAndABlob) {
    CHdrList list;
    list.SetVesselShape(4, Items(2));  // no object record: nothing
    EXPECT_TRUE(list.IsEmpty());
    Payload(76).I32(40, 4).Add(list, 267);
    list.WriteBlob(1, "taken", Filled(1));
    list.SetVesselShape(4, Items(3));
    const uint8_t* shape = list.GetShape(4, 1);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(list.GetEntry(268, 1)->payloadSize, 400u);
    const std::vector<uint8_t> golden = Payload(400).I32(0, 4).I32(4, 1).I32(8, 2).I32(288, 63)
                                            .F64(344, 1.0).F64(352, 1.0).F64(360, 1.0).Bytes();
    EXPECT_EQ(std::vector<uint8_t>(shape, shape + 400), golden);
    std::vector<sShapeItem> items;
    EXPECT_TRUE(list.GetVesselShape(4, items));
    EXPECT_TRUE(SameItems(items, Items(3)));

    list.SetVesselShape(4, Items(5));
    EXPECT_EQ(list.GetRecordCount(268), 1u);
    EXPECT_EQ(list.GetRecordCount(269), 2u);
    EXPECT_TRUE(list.GetVesselShape(4, items));
    EXPECT_TRUE(SameItems(items, Items(5)));
    // A second object's shape is its own: the first keeps its shape.
    Payload(76).I32(40, 6).Add(list, 267);
    list.SetVesselShape(6, Items(7));
    EXPECT_TRUE(list.GetVesselShape(6, items));
    EXPECT_TRUE(SameItems(items, Items(7)));
    EXPECT_TRUE(list.GetVesselShape(4, items));
    EXPECT_TRUE(SameItems(items, Items(5)));

    // A shape blob of another kind, or a broken one, gives no shape.
    list.RemoveBlob(2);
    list.WriteBlob(2, CHdrList::kWktMime, Filled(8));
    EXPECT_FALSE(list.GetVesselShape(4, items));
    list.RemoveBlob(2);
    ByteVector corrupt;
    ShapeItemsToBytes(Items(2), corrupt);
    corrupt[0] = 9;
    list.WriteBlob(2, CHdrList::kVesselShapeMime, corrupt);
    EXPECT_FALSE(list.GetVesselShape(4, items));
    EXPECT_TRUE(items.empty());
    EXPECT_FALSE(list.GetVesselShape(5, items));
}

}  // namespace
