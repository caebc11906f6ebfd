#include <gtest/gtest.h>

#include "engine/core/Engine.h"
#include "engine/core/FactoryTable.h"
#include "engine/core/HashTable.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SampleClasses.h"

using namespace Vorn;

TEST(Object, IdentifiersIncreaseWithEveryConstruction)
{
    Pointer<SampleNode> a(new SampleNode);
    Pointer<SampleNode> b(new SampleNode);
    Pointer<SampleController> c(new SampleController);
    EXPECT_EQ(b->GetID(), a->GetID() + 1);
    EXPECT_EQ(c->GetID(), b->GetID() + 1);
    EXPECT_EQ(a->GetReferenceCount(), 1);
}

TEST(Object, TypeRecordsFollowTheHierarchy)
{
    EXPECT_EQ(Object::TYPE.GetName(), String("Vorn.Object"));
    EXPECT_EQ(Controller::TYPE.GetName(), String("Vorn.Controller"));
    EXPECT_EQ(Object::TYPE.GetParent(), nullptr);
    EXPECT_TRUE(SampleController::TYPE.IsDerivedFrom(Controller::TYPE));
    EXPECT_TRUE(SampleController::TYPE.IsDerivedFrom(Object::TYPE));
    EXPECT_TRUE(SampleNode::TYPE.IsDerivedFrom(SampleNode::TYPE));
    EXPECT_FALSE(SampleNode::TYPE.IsDerivedFrom(Controller::TYPE));
    EXPECT_FALSE(Controller::TYPE.IsDerivedFrom(SampleController::TYPE));
}

TEST(Object, FactoryCreatesConcreteClassesAndRefusesAbstractOnes)
{
    LogCapture log;
    CreateFunction create = FactoryTable::Find(String("Test.SampleNode"));
    ASSERT_NE(create, nullptr);
    Object* made = nullptr;
    ASSERT_EQ(create(&made), 0);
    Pointer<Object> hold(made);
    EXPECT_EQ(made->GetType().GetName(), String("Test.SampleNode"));
    EXPECT_TRUE(made->GetName().IsEmpty());

    Object* none = nullptr;
    EXPECT_EQ(FactoryTable::Find(String("Vorn.Controller"))(&none), 1);
    EXPECT_EQ(FactoryTable::Find(String("Test.SampleBase"))(&none), 1);
    EXPECT_EQ(FactoryTable::Find(String("Vorn.Object"))(&none), 1);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(log.Lines().back(), "CRITICAL ERROR. Создание объекта абстрактного класса [Object].");
    EXPECT_EQ(FactoryTable::Find(String("Vorn.NoSuchClass")), nullptr);
}

TEST(Object, DuplicateTypeNameIsRefusedAndTheFirstEntryStays)
{
    CreateFunction original = FactoryTable::Find(String("Test.SampleNode"));
    EXPECT_EQ(FactoryTable::Insert(String("Test.SampleNode"), &SampleController::Create), 1);
    EXPECT_EQ(FactoryTable::Find(String("Test.SampleNode")), original);
}

TEST(Object, ShutdownEmptiesTheFactoryAndInitializeRefillsIt)
{
    LogCapture log;
    ASSERT_EQ(Engine::Shutdown(), 0);
    EXPECT_TRUE(log.Contains("INFO. Завершение работы класса [Object] прошло удачно."));
    EXPECT_EQ(FactoryTable::Find(String("Vorn.Object")), nullptr);
    EXPECT_EQ(FactoryTable::Find(String("Test.SampleNode")), nullptr);
    ASSERT_EQ(Engine::Initialize(), 0);
    EXPECT_TRUE(log.Contains("INFO. Инициализация класса [Object] прошла удачно."));
    EXPECT_NE(FactoryTable::Find(String("Test.SampleNode")), nullptr);

    // A class whose name is taken fails its initialiser, and with it the engine start.
    ASSERT_EQ(Engine::Shutdown(), 0);
    ASSERT_EQ(FactoryTable::Insert(String("Test.SampleNode"), &SampleController::Create), 0);
    EXPECT_EQ(Engine::Initialize(), 1);
    EXPECT_TRUE(log.Contains("ERROR. Инициализация движка неудачно."));
    ASSERT_EQ(Engine::Shutdown(), 0);
    ASSERT_EQ(Engine::Initialize(), 0);
}

TEST(Object, ControllersNewestFirstAndNullRefused)
{
    LogCapture log;
    Pointer<SampleNode> node(new SampleNode(String("host")));
    Pointer<SampleController> c1(new SampleController(String("c1")));
    Pointer<SampleController> c2(new SampleController(String("c2")));
    EXPECT_EQ(node->AttachController(nullptr), 3);
    EXPECT_EQ(log.Lines().back(),
              "WARNING. Указатель на устанавливаемый контроллер равен 0. Имя[host] ID[" +
                  std::to_string(node->GetID()) + "]");
    ASSERT_EQ(node->AttachController(c1.Get()), 0);
    ASSERT_EQ(node->AttachController(c2.Get()), 0);
    EXPECT_EQ(node->GetControllerCount(), 2);
    EXPECT_EQ(node->GetController(0).Get(), c2.Get());
    EXPECT_EQ(node->GetController(1).Get(), c1.Get());
    EXPECT_EQ(node->GetController(2).Get(), nullptr);
    EXPECT_EQ(node->GetController(-1).Get(), nullptr);
    EXPECT_EQ(c1->GetControlledObject(), node.Get());
    EXPECT_EQ(c1->GetReferenceCount(), 2);

    c1->SetActive(false);
    node->UpdateControllers(0.25);
    EXPECT_EQ(c2->updates, 1);
    EXPECT_DOUBLE_EQ(c2->elapsed, 0.25);
    EXPECT_EQ(c1->updates, 0);
}

TEST(Object, SearchesByNameAndTypeReachControllers)
{
    Pointer<SampleNode> node(new SampleNode(String("same")));
    Pointer<SampleController> controller(new SampleController(String("same")));
    Pointer<SampleController> other(new SampleController(String("other")));
    node->AttachController(controller.Get());
    node->AttachController(other.Get());
    EXPECT_EQ(node->GetObjectByName(String("same")), node.Get());
    EXPECT_EQ(node->GetObjectByName(String("other")), other.Get());
    EXPECT_EQ(node->GetObjectByName(String("none")), nullptr);
    Pointer<SampleNode> unnamed(new SampleNode);
    EXPECT_EQ(unnamed->GetObjectByName(String()), unnamed.Get());

    Array<Object*> found(1, 1);
    node->CollectObjectsByType(Controller::TYPE, found);
    ASSERT_EQ(found.GetCount(), 2);
    EXPECT_EQ(found[0], other.Get());
    EXPECT_EQ(found[1], controller.Get());
    Array<Object*> all(1, 1);
    node->CollectObjectsByType(Object::TYPE, all);
    EXPECT_EQ(all.GetCount(), 3);
}

TEST(Object, DestroyingAHeldObjectWarnsWithTheCount)
{
    LogCapture log;
    SampleNode* node = new SampleNode;
    node->AddReference();
    node->AddReference();
    delete node;
    EXPECT_EQ(log.Lines().back(), "WARNING. Удаление объекта, имеющего ссылки. Количество ссылок [2].");
}

TEST(Containers, StringCopiesAndCompares)
{
    String a("abc");
    String b("abd");
    const char* before = b.GetBuffer();
    b = a; // same length: the buffer is reused
    EXPECT_EQ(b.GetBuffer(), before);
    EXPECT_EQ(a, b);
    b = String("longer");
    EXPECT_EQ(b.GetLength(), 6);
    EXPECT_EQ(b.GetBuffer()[6], 0);
    EXPECT_NE(String("ab"), String("abc"));
    EXPECT_EQ(String(), String(""));
    const char withZero[] = { 'a', 0, 'b' };
    EXPECT_EQ(String(withZero, 3).GetLength(), 3);
    EXPECT_NE(String(withZero, 3), String("a"));
}

TEST(Containers, HashesIgnoreTheLowestByte)
{
    EXPECT_EQ(HashString(String("a")), 0u);
    EXPECT_EQ(HashString(String("ab")), static_cast<uint32_t>('b'));
    EXPECT_EQ(HashString(String("abc")), (static_cast<uint32_t>('c') << 2) | 'b');
    EXPECT_EQ(HashString(String("xbc")), HashString(String("abc")));
    EXPECT_EQ(HashInteger(0x000000FF), 0u);
    EXPECT_EQ(HashInteger(0x01020304), (((1u << 2) | 2u) << 2) | 3u);
    HashTable<int32_t, int> table(32);
    EXPECT_EQ(table.Insert(5, 1), 0);
    EXPECT_EQ(table.Insert(5, 2), 1);
    EXPECT_EQ(*table.Find(5), 1);
    EXPECT_EQ(table.Insert(6, 3), 0); // same bucket, chained
    EXPECT_EQ(*table.Find(6), 3);
    EXPECT_EQ(table.Remove(5), 0);
    EXPECT_EQ(table.Find(5), nullptr);
    EXPECT_EQ(*table.Find(6), 3);
}

TEST(Containers, ArrayGrowsByItsIncrementOrRefusesWithNone)
{
    Array<int> growing(1, 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(growing.Append(i), 0);
    EXPECT_EQ(growing.GetCapacity(), 5);
    growing.RemoveAt(1);
    EXPECT_EQ(growing.GetCount(), 3);
    EXPECT_EQ(growing[1], 2);
    Array<int> fixed(2, 0);
    EXPECT_EQ(fixed.Append(1), 0);
    EXPECT_EQ(fixed.Append(2), 0);
    EXPECT_EQ(fixed.Append(3), 1);
    EXPECT_EQ(fixed.GetCount(), 2);
}
