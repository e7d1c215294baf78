include $(sort $(wildcard $(BR2_EXTERNAL_SET_HWADDR_PATH)/package/*/*.mk))
