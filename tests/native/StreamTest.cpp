#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/Stream.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SampleClasses.h"

using namespace Vorn;

namespace {

std::vector<uint8_t> Bytes(const Stream& stream)
{
    return std::vector<uint8_t>(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
}

// A stream for reading the given bytes, as a file would be after opening.
class ByteStream : public Stream {
public:
    explicit ByteStream(const std::vector<uint8_t>& bytes) : Stream(0, 1024)
    {
        if (!bytes.empty()) {
            uint8_t* copy = new uint8_t[bytes.size()];
            std::memcpy(copy, bytes.data(), bytes.size());
            AdoptBuffer(copy, static_cast<int32_t>(bytes.size()));
        }
    }
};

void PutInt32(std::vector<uint8_t>& out, int32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

void PutString(std::vector<uint8_t>& out, const std::string& text)
{
    PutInt32(out, static_cast<int32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

// The record of a sample node with no controllers, no references and no children.
void PutSampleNode(std::vector<uint8_t>& out, int32_t id, const std::string& name)
{
    PutInt32(out, id);
    PutString(out, "Test.SampleNode");
    PutString(out, name);
    PutInt32(out, 0);                         // controllers
    out.insert(out.end(), 4 + 8 + 1 + 40 + 16, 0); // weight, time, flag, transform, colour
    PutInt32(out, -1);                        // parent
    PutInt32(out, -1);                        // other
}

std::string Id(const Object* object)
{
    return std::to_string(object->GetID());
}

} // namespace

TEST(Stream, EncodesValuesLittleEndianWithNothingBetween)
{
    Stream stream(0, 16);
    stream.WriteInt8(0x1FF);
    stream.WriteInt16(0x12345);
    stream.WriteInt32(-2);
    stream.WriteFloat(1.0f);
    stream.WriteDouble(2.0);
    stream.WriteBool(true);
    stream.WriteString(String("ab"));
    stream.WriteVersion(Engine::GetVersion());
    ASSERT_EQ(stream.GetStatus(), 0);
    const std::vector<uint8_t> expected = {
        0xFF, 0x45, 0x23, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F,
        0, 0, 0, 0, 0, 0, 0, 0x40, 0x01, 0x02, 0, 0, 0, 'a', 'b',
        0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
    };
    EXPECT_EQ(Bytes(stream), expected);
    // Capacity grows by whole increments.
    EXPECT_EQ(stream.GetCapacity(), 48);

    ByteStream in(expected);
    int8_t i8 = 0;
    int16_t i16 = 0;
    int32_t i32 = 0;
    float f = 0;
    double d = 0;
    bool b = false;
    String s;
    EngineVersion v = {};
    in.ReadInt8(i8);
    in.ReadInt16(i16);
    in.ReadInt32(i32);
    in.ReadFloat(f);
    in.ReadDouble(d);
    in.ReadBool(b);
    in.ReadString(s);
    EXPECT_EQ(in.ReadVersion(v), 0);
    EXPECT_EQ(i8, -1);
    EXPECT_EQ(i16, 0x2345);
    EXPECT_EQ(i32, -2);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(d, 2.0);
    EXPECT_TRUE(b);
    EXPECT_EQ(s, String("ab"));
    EXPECT_EQ(v.build, 2);

    ByteStream seven({ 7 });
    EXPECT_EQ(seven.ReadBool(b), 0);
    EXPECT_TRUE(b);
}

TEST(Stream, TransformsComeBackWithBothFlagsCleared)
{
    Stream stream(0, 64);
    stream.WriteTransform(Transform());
    EXPECT_EQ(stream.GetPosition(), 40);
    ByteStream in(Bytes(stream));
    Transform read;
    ASSERT_EQ(in.ReadTransform(read), 0);
    EXPECT_FALSE(read.isIdentity);
    EXPECT_FALSE(read.rotationIsIdentity);
    EXPECT_EQ(read.scale.x, 1.0f);
    EXPECT_EQ(read.rotation.w, 1.0f);
}

TEST(Stream, ReadingPastTheEndFailsOnceAndThenRefusesEverything)
{
    LogCapture log;
    ByteStream in({ 1, 2, 3 });
    int32_t value = 0;
    EXPECT_EQ(in.ReadInt32(value), 1);
    EXPECT_EQ(in.ReadInt8(*reinterpret_cast<int8_t*>(&value)), 1);
    EXPECT_EQ(in.WriteInt32(1), 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{ "WARNING. Невозможно считать данные. Буффер переполнен.",
                                                      "WARNING. Неправильное состояние потока.",
                                                      "WARNING. Неправильное состояние потока." }));
    ByteStream empty({});
    EXPECT_EQ(empty.ReadInt32(value), 1);
    EXPECT_EQ(log.Lines().back(), "WARNING. Невозможно считать данные. Буффер не существует.");
}

TEST(Stream, ZeroIncrementRefusesTheFirstWriteThatDoesNotFit)
{
    LogCapture log;
    Stream stream(0, 0);
    EXPECT_EQ(stream.WriteInt32(5), 1);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{ "WARNING. Приращение буффера равно 0.",
                                                      "WARNING. Невозможно записать данные вследствие малого размера буффера." }));
    Stream fixed(4, 0);
    EXPECT_EQ(fixed.WriteInt32(5), 0);
    EXPECT_EQ(fixed.WriteInt8(1), 1);
}

TEST(Stream, RecordsAreWrittenOnceAndBareIdentifiersAfter)
{
    Pointer<SampleNode> node(new SampleNode(String("n")));
    Stream stream(0, 256);
    ASSERT_EQ(stream.WriteObject(node.Get()), 0);
    const int32_t recordEnd = stream.GetPosition();
    ASSERT_EQ(stream.WriteObject(node.Get()), 0);
    ASSERT_EQ(stream.WriteObject(nullptr), 0);
    const std::vector<uint8_t> bytes = Bytes(stream);
    std::vector<uint8_t> expected;
    PutSampleNode(expected, node->GetID(), "n");
    PutInt32(expected, 0); // children
    PutInt32(expected, node->GetID());
    PutInt32(expected, -1);
    // Default transform: scale 1, rotation (0, 0, 0, 1).
    const int32_t transformAt = 4 + 4 + 15 + 4 + 1 + 4 + 4 + 8 + 1;
    const float one = 1.0f;
    for (int at : { 0, 4, 8, 24 })
        std::memcpy(&expected[transformAt + at], &one, 4);
    EXPECT_EQ(recordEnd, static_cast<int32_t>(bytes.size()) - 8);
    EXPECT_EQ(bytes, expected);

    // The second and third references read back as the same object and as null.
    ByteStream in(bytes);
    Object* first = nullptr;
    Object* second = reinterpret_cast<Object*>(1);
    Object* third = reinterpret_cast<Object*>(1);
    ASSERT_EQ(in.ReadObject(first), 0);
    ASSERT_EQ(in.ReadObject(second), 0);
    ASSERT_EQ(in.ReadObject(third), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, first);
    EXPECT_EQ(third, nullptr);
    EXPECT_NE(first->GetID(), node->GetID()); // a loaded object gets an identifier of its own
    EXPECT_EQ(first->GetName(), String("n"));
}

TEST(Stream, GraphsWithBackReferencesAndSelfReferencesRoundTrip)
{
    Pointer<SampleNode> root(new SampleNode(String("root")));
    SampleNode* child = new SampleNode(String("child"));
    SampleNode* grandchild = new SampleNode(String("grandchild"));
    root->AddChild(child);
    child->AddChild(grandchild);
    root->other = root.Get();    // refers to itself
    grandchild->other = root.Get();
    child->weight = 2.5f;
    child->time = 1.25;
    child->flag = true;
    child->color = Color(1.0f, 0.5f, 0.25f, 1.0f);
    child->transform = Transform(Vector3(1, 2, 3), Quaternion(0, 0, 0, 1), Vector3(2, 2, 2));
    Pointer<SampleController> c1(new SampleController(String("c1")));
    Pointer<SampleController> c2(new SampleController(String("c2")));
    c1->SetActive(false);
    child->AttachController(c1.Get());
    child->AttachController(c2.Get());

    Stream out(0, 1024);
    ASSERT_EQ(WriteScene(out, root.Get()), 0);
    ByteStream in(Bytes(out));
    Pointer<Object> loaded;
    ASSERT_EQ(ReadScene(in, loaded), 0);
    EXPECT_EQ(in.GetRemaining(), 0);

    ASSERT_TRUE(loaded->IsKindOf(SampleNode::TYPE));
    SampleNode* newRoot = static_cast<SampleNode*>(loaded.Get());
    ASSERT_EQ(newRoot->GetChildCount(), 1);
    SampleNode* newChild = newRoot->GetChild(0);
    ASSERT_EQ(newChild->GetChildCount(), 1);
    SampleNode* newGrandchild = newChild->GetChild(0);
    EXPECT_EQ(newRoot->other, newRoot);
    EXPECT_EQ(newGrandchild->other, newRoot);
    EXPECT_EQ(newChild->parent, newRoot);
    EXPECT_EQ(newGrandchild->parent, newChild);
    EXPECT_EQ(newChild->weight, 2.5f);
    EXPECT_EQ(newChild->time, 1.25);
    EXPECT_TRUE(newChild->flag);
    EXPECT_EQ(newChild->color.g, 0.5f);
    EXPECT_EQ(newChild->transform.translation.z, 3.0f);
    EXPECT_EQ(newChild->transform.scale.y, 2.0f);
    // Controllers keep their list order: the later attached is again at index 0.
    ASSERT_EQ(newChild->GetControllerCount(), 2);
    EXPECT_EQ(newChild->GetController(0)->GetName(), String("c2"));
    EXPECT_EQ(newChild->GetController(1)->GetName(), String("c1"));
    EXPECT_FALSE(newChild->GetController(1)->IsActive());
    EXPECT_EQ(newChild->GetController(1)->GetControlledObject(), newChild);
    EXPECT_EQ(newRoot->GetObjectByName(String("grandchild")), newGrandchild);
}

TEST(Stream, SceneVersionOlderThanTheEngineIsRefused)
{
    struct Case {
        int32_t major, minor, build;
        int expected;
    };
    const Case cases[] = { { 0, 1, 1, 1 }, { 0, 0, 99, 1 }, { 0, 1, 2, 0 }, { 0, 2, 0, 0 }, { 3, 0, 0, 0 },
                           { INT32_MIN, 0, 0, 1 }, { INT32_MAX, INT32_MAX, INT32_MAX, 0 } };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        PutInt32(bytes, c.major);
        PutInt32(bytes, c.minor);
        PutInt32(bytes, c.build);
        PutSampleNode(bytes, 9, "r");
        PutInt32(bytes, 0);
        ByteStream in(bytes);
        Pointer<Object> root;
        EXPECT_EQ(ReadScene(in, root), c.expected) << c.major << "." << c.minor << "." << c.build;
        EXPECT_EQ(root.Get() != nullptr, c.expected == 0);
    }
}

TEST(Stream, UnknownAbstractAndMistypedRecordsStopTheLoad)
{
    struct Case {
        const char* typeName;
        const char* message;
    };
    const Case cases[] = {
        { "Vorn.NoSuchClass", "ERROR. Невозможно найти функцию создания объекта. RTTI[Vorn.NoSuchClass] ID[77]" },
        { "Test.SampleBase", "ERROR. Невозможно создать объект. RTTI[Test.SampleBase] ID[77]" },
        { "Vorn.Controller", "ERROR. Невозможно создать объект. RTTI[Vorn.Controller] ID[77]" },
    };
    for (const Case& c : cases) {
        LogCapture log;
        std::vector<uint8_t> bytes;
        PutInt32(bytes, 77);
        PutString(bytes, c.typeName);
        ByteStream in(bytes);
        Object* object = reinterpret_cast<Object*>(1);
        EXPECT_EQ(in.ReadObject(object), 1);
        EXPECT_EQ(object, nullptr);
        EXPECT_TRUE(log.Contains(c.message)) << c.typeName;
        EXPECT_NE(in.GetStatus(), 0);
    }

    // A node where a controller belongs is refused, and the outer load fails with it.
    LogCapture log;
    std::vector<uint8_t> bytes;
    PutInt32(bytes, 1);
    PutString(bytes, "Test.SampleNode");
    PutString(bytes, "outer");
    PutInt32(bytes, 1);
    PutSampleNode(bytes, 2, "not a controller");
    PutInt32(bytes, 0);
    ByteStream in(bytes);
    Object* object = nullptr;
    EXPECT_EQ(in.ReadObject(object), 1);
    EXPECT_GE(log.IndexOf("ERROR. Невозможно загрузить контроллер объекта. Имя[outer] ID[" + Id(object) + "]"), 0);
}

TEST(Stream, HostileCountsLengthsAndNestingFailWithoutLargeAllocations)
{
    // A string claiming 2 GB, a negative string length, a huge and a negative controller
    // count: each fails like data running out, before anything is allocated for it.
    for (int32_t length : { INT32_MAX, -5 }) {
        std::vector<uint8_t> bytes;
        PutInt32(bytes, length);
        ByteStream in(bytes);
        String s("keep");
        EXPECT_EQ(in.ReadString(s), 1);
        EXPECT_EQ(s, String("keep"));
    }
    for (int32_t count : { INT32_MAX, 1000, -1 }) {
        LogCapture log;
        std::vector<uint8_t> bytes;
        PutInt32(bytes, 5);
        PutString(bytes, "Test.SampleController");
        PutString(bytes, "c");
        PutInt32(bytes, count);
        ByteStream in(bytes);
        Object* object = nullptr;
        EXPECT_EQ(in.ReadObject(object), 1);
        EXPECT_TRUE(log.Contains("ERROR. Неверное количество элементов в потоке [" + std::to_string(count) + "]."));
    }

    // Controllers nested in controllers, deeper than the loader accepts.
    LogCapture log;
    std::vector<uint8_t> bytes;
    const int levels = Stream::MaxObjectDepth + 10;
    for (int i = 0; i < levels; ++i) {
        PutInt32(bytes, i);
        PutString(bytes, "Test.SampleController");
        PutString(bytes, "");
        PutInt32(bytes, 1);
    }
    PutInt32(bytes, -1);
    bytes.insert(bytes.end(), levels, 1); // every level's active flag
    ByteStream in(bytes);
    Object* object = nullptr;
    EXPECT_EQ(in.ReadObject(object), 1);
    EXPECT_TRUE(log.Contains("ERROR. Слишком глубокая вложенность объектов. RTTI[Test.SampleController] ID[" +
                             std::to_string(Stream::MaxObjectDepth) + "]"));
    // Everything the failed load created is freed with the stream (the leak checker
    // of the sanitizer build watches this).
}

TEST(Stream, ResetForgetsIdentifiersAndStatus)
{
    Pointer<SampleNode> node(new SampleNode);
    Stream stream(0, 128);
    stream.WriteObject(node.Get());
    const int32_t first = stream.GetPosition();
    stream.Reset();
    stream.WriteObject(node.Get());
    EXPECT_EQ(stream.GetPosition(), first); // a full record again, not a bare identifier
    ByteStream in({ 1 });
    int32_t value;
    in.ReadInt32(value);
    ASSERT_NE(in.GetStatus(), 0);
    in.Reset();
    EXPECT_EQ(in.GetStatus(), 0);
}
