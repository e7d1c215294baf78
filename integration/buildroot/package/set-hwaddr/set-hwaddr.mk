################################################################################
#
# set-hwaddr
#
################################################################################

SET_HWADDR_VERSION = 1.0.0
# This tree, two levels above the external tree.
SET_HWADDR_SITE = $(BR2_EXTERNAL_SET_HWADDR_PATH)/../..
SET_HWADDR_SITE_METHOD = local
SET_HWADDR_LICENSE = Proprietary
SET_HWADDR_LICENSE_FILES = LICENSE
SET_HWADDR_SUPPORTS_IN_SOURCE_BUILD = NO

SET_HWADDR_BOARDCFG_PACKAGE = $(call qstrip,$(BR2_PACKAGE_SET_HWADDR_BOARDCFG_PACKAGE))

# Boot files come from the init system's hooks below, not from CMake.
SET_HWADDR_CONF_OPTS = \
	-DBUILD_TESTING=OFF \
	-DINSTALL_SYSTEMD_UNIT=OFF \
	-DINSTALL_INIT_SCRIPT=OFF

ifneq ($(SET_HWADDR_BOARDCFG_PACKAGE),)
SET_HWADDR_DEPENDENCIES += $(SET_HWADDR_BOARDCFG_PACKAGE)
SET_HWADDR_CONF_OPTS += \
	-DBOARDCFG_LIBRARY=$(STAGING_DIR)$(call qstrip,$(BR2_PACKAGE_SET_HWADDR_BOARDCFG_LIBRARY))
endif

define SET_HWADDR_INSTALL_TARGET_CMDS
	DESTDIR=$(TARGET_DIR) $(BR2_CMAKE) --install $(SET_HWADDR_BUILDDIR)
endef

# Before S40network, whose ifup -a brings eth0 up.
define SET_HWADDR_INSTALL_INIT_SYSV
	$(INSTALL) -D -m 0755 $(SET_HWADDR_BUILDDIR)/set-hwaddr.init \
		$(TARGET_DIR)/etc/init.d/S39set-hwaddr
endef

define SET_HWADDR_INSTALL_INIT_SYSTEMD
	$(INSTALL) -D -m 0644 $(SET_HWADDR_BUILDDIR)/set-hwaddr.service \
		$(TARGET_DIR)/usr/lib/systemd/system/set-hwaddr.service
endef

$(eval $(cmake-package))
