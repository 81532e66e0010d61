#pragma once
int High();
