#include "sound/TWaveScene.h"

#include "platform/system/Exception.h"
#include "sound/MyLock.h"

// ---------------------------------------------------------------- notifications

void TWaveScene::SetMessageId(UINT id)
{
    MyLock lock(section_);
    lock.Lock();
    messageId_ = id;
}

void TWaveScene::SetOwnerWindow(HWND window)
{
    MyLock lock(section_);
    lock.Lock();
    ownerWindow_ = window;
}

void TWaveScene::PushInstanceMessage(const std::string& name, std::uint32_t code)
{
    MyLock lock(section_);
    lock.Lock();
    if (messagesOff_ > 0)
        return;
    if (rendering_ && messageCount_ >= kMaxMessages) {
        ++droppedMessages_;  // the audio thread must not throw
        return;
    }
    messages_.push_back(InstanceMessage{name, code});
    ++messageCount_;
    if (messageCount_ > kMaxMessages)
        throw Exception("Application don't control WaveScene messaging!. To many messages!");
}

void TWaveScene::PostNotification()
{
    MyLock lock(section_);
    lock.Lock();
    if (messagesOff_ > 0 || !ownerWindow_)
        return;
    PostMessage(ownerWindow_, messageId_, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(this));
}

bool TWaveScene::PopInstanceMessage(std::string& name, std::uint32_t& code)
{
    MyLock lock(section_);
    lock.Lock();
    if (messages_.empty())
        return false;
    name = std::move(messages_.front().name);
    code = messages_.front().code;
    messages_.pop_front();
    --messageCount_;
    return true;
}

bool TWaveScene::IsMessageQueueEmpty() const
{
    MyLock lock(section_);
    lock.Lock();
    return messages_.empty();
}

void TWaveScene::ClearMessages()
{
    MyLock lock(section_);
    lock.Lock();
    messages_.clear();
    messageCount_ = 0;
}

void TWaveScene::DisableMessages()
{
    MyLock lock(section_);
    lock.Lock();
    ++messagesOff_;
}

void TWaveScene::EnableMessages()
{
    MyLock lock(section_);
    lock.Lock();
    if (messagesOff_ > 0)
        --messagesOff_;
}

std::uint32_t TWaveScene::GetDroppedMessages() const
{
    MyLock lock(section_);
    lock.Lock();
    return droppedMessages_;
}
