#include "bench/soak_verlauf.h"

#include "common/steuerzeichen.h"

void SoakVerlauf::Anfrage(const char* szRequest) { Merken('>', Dargestellt(szRequest)); }
void SoakVerlauf::Antwort(const std::string& text) { Merken('<', Dargestellt(text.c_str())); }
void SoakVerlauf::Ereignis(const std::string& text) { Merken('!', text); }

void SoakVerlauf::Merken(char art, const std::string& text) {
    std::lock_guard lock(mutex_);
    zeilen_.push_back("#" + std::to_string(nummer_) + " " + art + " " + text);
    if (zeilen_.size() > kZeilen) zeilen_.pop_front();
}

std::deque<std::string> SoakVerlauf::Zeilen() const {
    std::lock_guard lock(mutex_);
    return zeilen_;
}
